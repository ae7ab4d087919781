#pragma once
// What BandWriterFor's writers share: the file, the thread and the order of calls; the
// format's own part is a BandEncoder.
#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

class BandEncoder {
  public:
    virtual ~BandEncoder() = default;
    // The picture's size, before any band; `out` is the file, empty and open.
    virtual bool Start(QIODevice& out, QSize size) = 0;
    // The next band, RGB32 and full width, on the writer's thread.
    virtual bool Encode(const QImage& rows) = 0;
    // Every band encoded: the file completed.
    virtual bool End() = 0;
    // Why the last call failed, for a message; empty when the device tells.
    QString why;
};

std::unique_ptr<BandEncoder> MakePngBands();
