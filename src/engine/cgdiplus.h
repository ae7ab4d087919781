#pragma once
// Image writer that picks its encoder by the destination's extension, over the
// platform's imaging service: started when created, its encoder list read once.
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>
#include <vector>

namespace gdi {
class ImageEncoders;
}

class cGdiPlus : public QObject {
    Q_OBJECT
  public:
    // Uses the Qt imaging service; tests give a service of their own.
    cGdiPlus();
    explicit cGdiPlus(gdi::ImageEncoders& service);
    ~cGdiPlus() override;

    // Writes the picture box's picture to sFilename with the encoder that lists the
    // file's extension; JPEG encoders get lQuality. False for an unknown extension
    // (no Error then) and when the service fails (Error raised).
    bool PictureBoxToFile(const QImage& pic, const QString& sFilename, int lQuality);

    static QString GdiErrorString(int lError);

    // Helpers of the extension lookup, public for their tests.
    int EncoderIndex(const QString& pattern) const;
    static QString FileExtension(const QString& path);

  Q_SIGNALS:
    void Error(int lGdiError, const QString& sErrorDesc);

  private:
    void LoadEncoders();
    void AddExtensions(const QString& list, QChar separator, int k);
    void RaiseError(int status);

    gdi::ImageEncoders& service_;
    std::uintptr_t lToken = 0;
    std::vector<QUuid> aEncoderClsid;
    // Keys in lower case: patterns are compared without regard to case.
    std::optional<QHash<QString, int>> cExtensionIndex;
};
