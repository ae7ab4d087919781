// WebP and AVIF as written for a page's picture: decoded again by their own libraries,
// lossless WebP equal pixel for pixel, the lossy ones close to it, sizes past the format
// refused without touching an existing file.
#include <avif/avif.h>
#include <webp/decode.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "formats/picture_file.h"

namespace {

// Something like a page: flat areas, hard edges of text-like strokes, a gradient, and
// noise that no encoder can guess.
QImage PageLike(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            QRgb c = qRgb(250, 250, 250);
            if (y % 40 < 14 && (x / 3 + y / 2) % 7 < 3) c = qRgb(20, 20, 30);
            if (y > height / 2) c = qRgb(x * 255 / width, y * 255 / height, 128);
            if (x > width - 16) c = random.generate() | 0xff000000;
            line[x] = c;
        }
    }
    return picture;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage DecodeWebp(const QByteArray& bytes) {
    int width = 0, height = 0;
    uint8_t* bgra = WebPDecodeBGRA(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                   static_cast<size_t>(bytes.size()), &width, &height);
    if (!bgra) return {};
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(picture.scanLine(y), bgra + static_cast<size_t>(y) * width * 4,
                    static_cast<size_t>(width) * 4);
    WebPFree(bgra);
    return picture;
}

QImage DecodeAvif(const QByteArray& bytes) {
    avifDecoder* decoder = avifDecoderCreate();
    QImage picture;
    if (avifDecoderSetIOMemory(decoder, reinterpret_cast<const uint8_t*>(bytes.constData()),
                               static_cast<size_t>(bytes.size())) == AVIF_RESULT_OK &&
        avifDecoderParse(decoder) == AVIF_RESULT_OK &&
        avifDecoderNextImage(decoder) == AVIF_RESULT_OK) {
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, decoder->image);
        rgb.format = AVIF_RGB_FORMAT_BGRA;
        picture =
            QImage(static_cast<int>(rgb.width), static_cast<int>(rgb.height), QImage::Format_RGB32);
        rgb.pixels = picture.bits();
        rgb.rowBytes = static_cast<uint32_t>(picture.bytesPerLine());
        if (avifImageYUVToRGB(decoder->image, &rgb) != AVIF_RESULT_OK) picture = QImage();
    }
    avifDecoderDestroy(decoder);
    return picture;
}

// Peak signal to noise over the three channels, in dB.
double Psnr(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            for (const int shift : {0, 8, 16}) {
                const double d = double((p[x] >> shift) & 0xff) - double((q[x] >> shift) & 0xff);
                sum += d * d;
            }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

class WebpAvifTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

  private Q_SLOTS:
    void writtenAndReadBack_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("quality");  // 0: none given
        QTest::addColumn<double>("psnr");  // the least; 99: equal
        QTest::newRow("WebP lossless") << int(PictureFormat::Webp) << 0 << 99.0;
        QTest::newRow("WebP at 80") << int(PictureFormat::Webp) << 80 << 28.0;
        QTest::newRow("AVIF by default") << int(PictureFormat::Avif) << 0 << 28.0;
        QTest::newRow("AVIF at 90") << int(PictureFormat::Avif) << 90 << 33.0;
    }
    void writtenAndReadBack() {
        QFETCH(int, format);
        QFETCH(int, quality);
        QFETCH(double, psnr);
        const QImage picture = PageLike(640, 900);
        const QString path = dir_.filePath(QStringLiteral("page"));
        JpegChoice choice;
        choice.qualityGiven = quality > 0;
        if (quality > 0) choice.quality = quality;
        QVERIFY(WritePictureFile(picture, path, PictureFormat(format), choice));
        const QByteArray bytes = Bytes(path);
        const QImage back =
            PictureFormat(format) == PictureFormat::Webp ? DecodeWebp(bytes) : DecodeAvif(bytes);
        QCOMPARE(back.size(), picture.size());
        if (psnr >= 99)
            QCOMPARE(back, picture);
        else
            QVERIFY2(Psnr(back, picture) >= psnr, qPrintable(QString::number(Psnr(back, picture))));
    }

    // The largest picture each format holds is written and read back; past it the
    // picture is refused, with the limit in the reason, and the file there is left as it
    // was. AVIF keeps to what the usual decoders open.
    void limits_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("limit");
        const int webp = int(PictureFormat::Webp);
        const int avif = int(PictureFormat::Avif);
        QTest::newRow("WebP 16383 wide") << webp << QSize(16383, 2) << true << "";
        QTest::newRow("WebP 16384 wide") << webp << QSize(16384, 2) << false << "16383";
        QTest::newRow("WebP 16384 tall") << webp << QSize(2, 16384) << false << "16383";
        QTest::newRow("AVIF 8704 tall") << avif << QSize(16, 8704) << true << "";
        QTest::newRow("AVIF 8705 tall") << avif << QSize(16, 8705) << false << "8704";
        QTest::newRow("AVIF 16385 wide") << avif << QSize(16385, 16) << false << "16384";
    }
    void limits() {
        QFETCH(int, format);
        QFETCH(QSize, size);
        QFETCH(bool, written);
        QFETCH(QString, limit);
        const auto kind = PictureFormat(format);
        const QString path = dir_.filePath(QStringLiteral("limit"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
        old.write("the old picture");
        old.close();
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::white);
        const Outcome outcome = WritePictureFile(picture, path, kind);
        QCOMPARE(bool(outcome), written);
        if (written) {
            const QByteArray bytes = Bytes(path);
            QCOMPARE((kind == PictureFormat::Webp ? DecodeWebp(bytes) : DecodeAvif(bytes)).size(),
                     size);
            QCOMPARE(qint64(size.height()) <= MostPictureRows(kind, size.width()), true);
        } else {
            QVERIFY2(outcome.reason.contains(limit), qPrintable(outcome.reason));
            QCOMPARE(Bytes(path), QByteArray("the old picture"));
        }
    }
};

QTEST_MAIN(WebpAvifTest)
#include "webp_avif_test.moc"
