#pragma once
// Pictures whose content the export tests know, and the measures they compare with.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <cmath>
#include <set>

namespace exporttest {

// Vertical bands of five colours.
inline QImage FewColours(int w, int h) {
    static const QRgb kColours[] = {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(200, 30, 40),
                                    qRgb(20, 160, 60), qRgb(11, 180, 255)};
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, kColours[(x / 7 + y / 5) % 5]);
    return image;
}

// n colours in a pattern that uses every one of them.
inline QImage NColours(int n, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = (x * 7 + y * 3) % n;
            image.setPixel(x, y, qRgb(i * 37 % 256, 255 - i * 11 % 256, i * 5 % 256));
        }
    return image;
}

// Smooth gradients with shapes: many thousands of colours, JPEG-friendly.
inline QImage RichColours(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1),
                                (x + y) * 255 / std::max(1, w + h - 2)));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(240, 200, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(w * 0.2, h * 0.2, w * 0.4, h * 0.4));
    return image;
}

// Antialiased coloured text over a gradient band: a little page, many colours.
inline QImage PageOfText() {
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QLinearGradient band(0, 0, 320, 0);
    band.setColorAt(0, QColor(20, 60, 140));
    band.setColorAt(1, QColor(90, 160, 220));
    p.fillRect(0, 0, 320, 40, band);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int i = 0; i < 9; ++i) {
        p.setPen(i % 3 == 0 ? QColor(150, 20, 30) : QColor(20, 70, 200));
        p.drawText(10, 60 + i * 20, QStringLiteral("Capture the page, crop it, save it %1").arg(i));
    }
    return image;
}

// Every pixel carries its own colour: far more than 256.
inline QImage NoisyColours(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, 0xFF000000u | rng.bounded(0x1000000u));
    return image;
}

inline int ColourCount(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::set<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) colours.insert(rgb.pixel(x, y) | 0xFF000000u);
    return static_cast<int>(colours.size());
}

// Peak signal-to-noise ratio over the three channels, in dB.
inline double Psnr(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            const double dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q),
                         db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
        }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Same size and every pixel equal (alpha ignored).
inline bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i)
            if ((x.pixel(i, j) ^ y.pixel(i, j)) & 0xFFFFFF) return false;
    return true;
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
    for (qsizetype i = 2; i + 3 < jpeg.size();) {
        if (uchar(jpeg[i]) != 0xFF) return 0;
        const int marker = uchar(jpeg[i + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker;
        i += 2 + (uchar(jpeg[i + 2]) << 8 | uchar(jpeg[i + 3]));
    }
    return 0;
}

// A folder where no file can be created or replaced, even by root (read-only mode,
// and the immutable attribute where permissions do not stop the user). Undone on
// destruction. Usable() is false when neither works here.
class LockedFolder {
  public:
    explicit LockedFolder(const QString& path) : path_(path) {
        QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (!Writable()) return;
        immutable_ =
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
    }
    ~LockedFolder() {
        if (immutable_) QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        QFile::setPermissions(
            path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool Usable() const { return !Writable(); }

  private:
    bool Writable() const {
        QTemporaryFile probe(path_ + QStringLiteral("/probe-XXXXXX"));
        return probe.open();
    }
    QString path_;
    bool immutable_ = false;
};

}  // namespace exporttest
