#pragma once
// Pictures the export tests know, measures to compare them, and recording stand-ins
// for the imaging layers.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>
#include <cmath>
#include <set>

#include "formats/jpeg_library.h"

namespace exporttest {

// n colours in a pattern that uses every one of them.
inline QImage NColours(int n, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = (x * 7 + y * 3) % n;
            image.setPixel(x, y, qRgb(i % 16 * 17, i / 16 % 16 * 17, i / 256 * 60));
        }
    return image;
}

// Smooth gradients with a disc: thousands of colours, JPEG-friendly.
inline QImage Gradients(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) * 255 / (w + h)));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(240, 200, 40));
    p.drawEllipse(QRectF(w * 0.2, h * 0.2, w * 0.4, h * 0.4));
    return image;
}

// Antialiased coloured text under a gradient band: a little web page.
inline QImage PageOfText() {
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QLinearGradient band(0, 0, 320, 0);
    band.setColorAt(0, QColor(20, 60, 140));
    band.setColorAt(1, QColor(90, 160, 220));
    p.fillRect(0, 0, 320, 40, band);
    for (int i = 0; i < 9; ++i) {
        p.setPen(i % 3 == 0 ? QColor(150, 20, 30) : QColor(20, 70, 200));
        p.drawText(10, 60 + i * 20, QStringLiteral("Capture the page, crop it, save it %1").arg(i));
    }
    return image;
}

inline int ColourCount(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::set<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) colours.insert(rgb.pixel(x, y) | 0xFF000000u);
    return static_cast<int>(colours.size());
}

// Peak signal-to-noise ratio over the three channels in dB; 99 when equal.
inline double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += d * d;
        }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * 3 * a.width() * a.height() / sum);
}

inline bool SamePixels(const QImage& a, const QImage& b) {
    return Psnr(a, b) == 99;
}

inline QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A JPEG's start-of-frame marker: 0xC0 baseline, 0xC2 progressive, 0 when none.
inline int StartOfFrame(const QByteArray& jpeg) {
    for (qsizetype i = 2; i + 3 < jpeg.size() && uchar(jpeg[i]) == 0xFF;) {
        const int marker = uchar(jpeg[i + 1]);
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) return marker;
        i += 2 + (uchar(jpeg[i + 2]) << 8 | uchar(jpeg[i + 3]));
    }
    return 0;
}

// A folder where nothing can be created, even by root (read-only, and immutable
// where permissions do not stop the user); undone on destruction.
class LockedFolder {
  public:
    explicit LockedFolder(const QString& path) : path_(path) {
        QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (Usable()) return;
        immutable_ = QProcess::execute("chattr", {"+i", path_}) == 0;
    }
    ~LockedFolder() {
        if (immutable_) QProcess::execute("chattr", {"-i", path_});
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool Usable() const { return !QTemporaryFile(path_ + "/probe-XXXXXX").open(); }

  private:
    QString path_;
    bool immutable_ = false;
};

// A file that not even root may write (immutable); undone on destruction.
class ImmutableFile {
  public:
    explicit ImmutableFile(const QString& path) : path_(path) {
        set_ = QProcess::execute("chattr", {"+i", path_}) == 0;
    }
    ~ImmutableFile() {
        if (set_) QProcess::execute("chattr", {"-i", path_});
    }
    bool Usable() const { return set_; }

  private:
    QString path_;
    bool set_ = false;
};

// A small file system mounted at `path` (a folder that exists), filled to the last
// block by Fill(); unmounted on destruction. Needs the right to mount.
class FullDisk {
  public:
    explicit FullDisk(const QString& path) : path_(path) {
        mounted_ =
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", path_}) == 0;
    }
    void Fill() {
        QFile filler(path_ + "/filler");
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    ~FullDisk() {
        if (mounted_) QProcess::execute("umount", {path_});
    }
    bool Usable() const { return mounted_; }

  private:
    QString path_;
    bool mounted_ = false;
};

// A JPEG library whose answers the test chooses; it logs each call.
class RecordingLibrary : public ImagingLibrary {
  public:
    bool sourceOk = true, readOk = true, destOk = true;
    int writeResult = 1234, closeResult = 1;
    ISHandle nextImage = 100;
    QStringList calls;

    ISHandle ISOpenFileSource(const QString& path) override {
        return Log("OpenFileSource " + path), sourceOk ? 1 : 0;
    }
    ISHandle ISReadBMP(ISHandle s, int& w, int& h, int bpp, int palette) override {
        Log(QStringLiteral("ReadBMP %1 %2 %3").arg(s).arg(bpp).arg(palette));
        w = readOk ? 40 : 0, h = readOk ? 30 : 0;
        return readOk ? ++nextImage : 0;
    }
    int ISCloseSource(ISHandle s) override {
        return Log(QStringLiteral("CloseSource %1").arg(s)), 1;
    }
    ISHandle ISOpenFileDest(const QString& path) override {
        return Log("OpenFileDest " + path), destOk ? 2 : 0;
    }
    void ISClearJPGOutputText() override { Log("ClearJPGOutputText"); }
    int ISWriteJPG(ISHandle d, ISHandle image, int w, int h, int q, int progressive, int bpp,
                   int palette) override {
        Log(QStringLiteral("WriteJPG %1 %2 %3x%4 q%5 p%6 %7 %8")
                .arg(d)
                .arg(image)
                .arg(w)
                .arg(h)
                .arg(q)
                .arg(progressive)
                .arg(bpp)
                .arg(palette));
        return writeResult;
    }
    int ISCloseDest(ISHandle d) override {
        return Log(QStringLiteral("CloseDest %1").arg(d)), closeResult;
    }
    void GlobalFree(ISHandle image) override { Log(QStringLiteral("GlobalFree %1").arg(image)); }

  private:
    void Log(const QString& call) { calls << call; }
};

}  // namespace exporttest
