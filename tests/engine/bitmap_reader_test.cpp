// The one bitmap reader and every path that goes through it (picture loading, the JPEG
// library's source, the BMP copy, the GIF writer): known pictures in each depth read
// back pixel for pixel, and pipes, devices, truncated files and lying headers are
// refused at once, before any large buffer and without touching a destination.
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <limits>
#include <optional>

#include "engine/jpg_writer.h"
#include "formats/bitmap_copy.h"
#include "formats/bitmap_file.h"
#include "formats/bitmap_reader.h"
#include "formats/gif_file.h"
#include "formats/jpeg_library.h"
#include "support/special_files.h"

using testsupport::Special;
using Rows = QList<QList<QRgb>>;
Q_DECLARE_METATYPE(Rows)

namespace {

// The fields of a bitmap's two headers, each free to lie.
struct Header {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitsPerPixel = 24;
    uint32_t compression = 0;
    uint32_t infoSize = 40;
    uint16_t planes = 1;
    uint32_t coloursUsed = 0;
    std::optional<uint32_t> pixelOffset;  // the true one when not given
    QList<uint32_t> masks;                // written after a 40-byte header, inside longer ones
    QList<QRgb> palette;

    Header Size(int32_t w, int32_t h) { return width = w, height = h, *this; }
    Header Bits(uint16_t v) { return bitsPerPixel = v, *this; }
    Header Compression(uint32_t v) { return compression = v, *this; }
    Header Info(uint32_t v) { return infoSize = v, *this; }
    Header Planes(uint16_t v) { return planes = v, *this; }
    Header Colours(uint32_t v) { return coloursUsed = v, *this; }
    Header Offset(uint32_t v) { return pixelOffset = v, *this; }
    Header Masks(QList<uint32_t> v) { return masks = v, *this; }
    Header Palette(QList<QRgb> v) { return palette = v, *this; }
};

void Append(QByteArray& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b += char((v >> (8 * i)) & 0xFF);
}

QByteArray Bmp(const Header& h, const QByteArray& pixels) {
    QByteArray info;
    Append(info, h.infoSize, 4);
    Append(info, uint32_t(h.width), 4);
    Append(info, uint32_t(h.height), 4);
    Append(info, h.planes, 2);
    Append(info, h.bitsPerPixel, 2);
    Append(info, h.compression, 4);
    Append(info, uint32_t(pixels.size()), 4);
    Append(info, 3780, 4);
    Append(info, 3780, 4);
    Append(info, h.coloursUsed, 4);
    Append(info, 0, 4);
    if (h.infoSize > 40) {
        for (uint32_t m : h.masks) Append(info, m, 4);
        info.resize(h.infoSize, '\0');
    } else {
        for (uint32_t m : h.masks) Append(info, m, 4);
    }
    for (QRgb c : h.palette) Append(info, c & 0xFFFFFF, 4);
    QByteArray file = "BM";
    const uint32_t offset = h.pixelOffset.value_or(14 + uint32_t(info.size()));
    Append(file, 14 + uint32_t(info.size() + pixels.size()), 4);
    Append(file, 0, 4);
    Append(file, offset, 4);
    return file + info + pixels;
}

QByteArray Row(std::initializer_list<int> bytes) {
    QByteArray row;
    for (int b : bytes) row += char(b);
    return row;
}

const QRgb R = qRgb(255, 0, 0), G = qRgb(0, 255, 0), B = qRgb(0, 0, 255), W = qRgb(255, 255, 255),
           K = qRgb(0, 0, 0), C = qRgb(10, 20, 30);

QImage FromRows(const Rows& rows) {
    QImage image(rows[0].size(), rows.size(), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x) image.setPixel(x, y, rows[y][x]);
    return image;
}

// A 24-bit picture of 3 x 2 with known pixels, and its file.
QByteArray Good24() {
    return Bmp(Header().Size(3, 2),
               Row({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}) +  // bottom row: R G B
                   Row({255, 255, 255, 0, 0, 0, 30, 20, 10, 0, 0, 0}));
}

}  // namespace

class BitmapReaderTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    QString Path(const QString& name) { return folder_.filePath(name); }
    QString Put(const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
        file.write(bytes);
        return Path(name);
    }
    QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Reads `source` through one path; true when that path took it for a picture. A
    // destination that was there before stays unless the path succeeded.
    bool ReadThrough(const QString& reader, const QString& source, QString* why) {
        const QString dest = Path("out." + reader);
        QFile::remove(dest);
        if (reader == "load") {
            const BitmapRead read = ReadBitmapFile(source);
            *why = read.reason;
            return LoadPicture(source).has_value() && read.ok();
        }
        Put("out." + reader, "the old file");
        bool ok = false;
        if (reader == "bmp") {
            const Outcome outcome = CopyBitmapFile(source, dest);
            ok = outcome.ok, *why = outcome.reason;
        } else if (reader == "gif") {
            const Outcome outcome = WriteGifFromBitmap(source, dest);
            ok = outcome.ok, *why = outcome.reason;
        } else {
            auto library = MakeTurboImagingLibrary();
            JpgBuffer buffer;
            ok =
                WriteJpgFromBitmap(*library, buffer, source, dest, 85, 0) == JpgSaveResult::Written;
            *why = ok ? QString() : QStringLiteral("refused");
        }
        if (!ok && Bytes(dest) != "the old file") {
            *why = "destination touched";
            return true;  // counts as a failure of the test in every caller
        }
        return ok;
    }

  private Q_SLOTS:
    // Known pixels in every depth and layout the reader takes.
    void decodesKnownPictures_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Rows>("pixels");
        QTest::newRow("24-bit bottom-up, padded rows") << Good24() << Rows{{W, K, C}, {R, G, B}};
        QTest::newRow("24-bit top-down")
            << Bmp(Header().Size(3, -2), Row({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}) +
                                             Row({255, 255, 255, 0, 0, 0, 30, 20, 10, 0, 0, 0}))
            << Rows{{R, G, B}, {W, K, C}};
        QTest::newRow("32-bit, fourth byte ignored")
            << Bmp(Header().Size(2, 1).Bits(32), Row({0, 0, 255, 0x00, 30, 20, 10, 0x7F}))
            << Rows{{R, C}};
        QTest::newRow("8-bit, short palette")
            << Bmp(Header().Size(3, 2).Bits(8).Colours(3).Palette({R, G, C}),
                   Row({2, 1, 0, 0}) + Row({0, 0, 1, 0}))
            << Rows{{R, R, G}, {C, G, R}};
        // A header that states the whole palette, as most writers do: 256 colours at 8 bits.
        QTest::newRow("8-bit, full palette stated")
            << Bmp(Header().Size(2, 1).Bits(8).Colours(256).Palette([] {
                   QList<QRgb> all;
                   for (int i = 0; i < 256; ++i) all << qRgb(i, 255 - i, i / 2);
                   return all;
               }()),
                   Row({0, 255, 0, 0}))
            << Rows{{qRgb(0, 255, 0), qRgb(255, 0, 127)}};
        QTest::newRow("4-bit, odd width")
            << Bmp(Header().Size(5, 1).Bits(4).Colours(4).Palette({K, W, R, B}),
                   Row({0x01, 0x23, 0x10, 0}))
            << Rows{{K, W, R, B, W}};
        QTest::newRow("1-bit, nine wide")
            << Bmp(Header().Size(9, 2).Bits(1).Palette({K, W}),
                   Row({0x80, 0x80, 0, 0}) + Row({0xAA, 0x00, 0, 0}))
            << Rows{{W, K, W, K, W, K, W, K, K}, {W, K, K, K, K, K, K, K, W}};
        QTest::newRow("16-bit 5-5-5")
            << Bmp(Header().Size(3, 1).Bits(16), Row({0x00, 0x7C, 0xE0, 0x03, 0x10, 0x42, 0, 0}))
            << Rows{{R, G, qRgb(132, 132, 132)}};
        QTest::newRow("16-bit 5-6-5 masks")
            << Bmp(Header().Size(2, 1).Bits(16).Compression(3).Masks({0xF800, 0x07E0, 0x001F}),
                   Row({0xE0, 0x07, 0x00, 0x84}))
            << Rows{{G, qRgb(132, 130, 0)}};
        QTest::newRow("32-bit masks in a version 4 header")
            << Bmp(Header().Size(2, 1).Bits(32).Compression(3).Info(108).Masks(
                       {0x000000FF, 0x0000FF00, 0x00FF0000}),
                   Row({255, 0, 0, 0, 10, 20, 30, 0}))
            << Rows{{R, C}};
    }
    void decodesKnownPictures() {
        QFETCH(QByteArray, file);
        QFETCH(Rows, pixels);
        const QString path = Put("known.bmp", file);
        const BitmapRead read = ReadBitmapFile(path);
        QVERIFY2(read.ok(), qPrintable(read.reason));
        const QImage expected = FromRows(pixels);
        const QImage got = read.picture.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(got.size(), expected.size());
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x)
                QVERIFY2(got.pixel(x, y) == expected.pixel(x, y),
                         qPrintable(QStringLiteral("pixel %1,%2: %3 for %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(got.pixel(x, y), 8, 16)
                                        .arg(expected.pixel(x, y), 8, 16)));
        // The loader and the BMP copy agree with the reader.
        QCOMPARE(LoadPicture(path)->convertToFormat(QImage::Format_RGB32), expected);
        QVERIFY(CopyBitmapFile(path, Path("copy.bmp")).ok);
        QCOMPARE(Bytes(Path("copy.bmp")), file);
    }

    // What the program itself writes reads back exactly, through every path.
    void readsWhatTheProgramWrites() {
        QImage picture(37, 23, QImage::Format_RGB32);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) picture.setPixel(x, y, qRgb(x * 7, y * 11, (x * y) & 255));
        QVERIFY(SavePicture(picture, Path("ours.bmp")));
        QCOMPARE(*LoadPicture(Path("ours.bmp")), picture);
        auto library = MakeTurboImagingLibrary();
        const ISHandle src = library->ISOpenFileSource(Path("ours.bmp"));
        QVERIFY(src != 0);
        int w = 0, h = 0;
        const ISHandle image = library->ISReadBMP(src, w, h, 24, 0);
        library->ISCloseSource(src);
        QVERIFY(image != 0);
        QCOMPARE(QSize(w, h), picture.size());
        library->GlobalFree(image);
        QVERIFY(WriteGifFromBitmap(Path("ours.bmp"), Path("ours.gif")).ok);
    }

    // Our writer makes byte for byte the file Qt's writer made of the same picture as
    // 32-bit RGB: widths that need no padding and every padding, resolutions given and
    // not, alpha, palettes, bands of rows that do not divide the height.
    void writesWhatQtsWriterWrote_data() {
        QTest::addColumn<QImage>("picture");
        const auto known = [](int w, int h, QImage::Format format) {
            QImage picture(w, h, QImage::Format_ARGB32);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    picture.setPixel(
                        x, y,
                        qRgba(x * 37 + y, y * 53 + x * 3, (x ^ y) * 11, (x * 7 + y * 5) & 255));
            return picture.convertToFormat(format);
        };
        QTest::newRow("1 x 1") << known(1, 1, QImage::Format_RGB32);
        QTest::newRow("2 x 3, two padding bytes") << known(2, 3, QImage::Format_RGB32);
        QTest::newRow("3 x 2, three padding bytes") << known(3, 2, QImage::Format_RGB32);
        QTest::newRow("5 x 4, one padding byte") << known(5, 4, QImage::Format_RGB32);
        QTest::newRow("4 x 5, no padding") << known(4, 5, QImage::Format_RGB32);
        QImage dense = known(7, 3, QImage::Format_RGB32);
        dense.setDotsPerMeterX(11811);
        dense.setDotsPerMeterY(5905);
        QTest::newRow("300 x 150 dpi") << dense;
        QImage none = known(6, 2, QImage::Format_RGB32);
        none.setDotsPerMeterX(0);
        none.setDotsPerMeterY(0);
        QTest::newRow("no resolution") << none;
        QTest::newRow("alpha, straight") << known(9, 4, QImage::Format_ARGB32);
        QTest::newRow("alpha, premultiplied") << known(9, 4, QImage::Format_ARGB32_Premultiplied);
        QTest::newRow("24-bit RGB") << known(11, 3, QImage::Format_RGB888);
        QTest::newRow("palette") << known(10, 5, QImage::Format_Indexed8);
        QTest::newRow("one bit") << known(10, 5, QImage::Format_Mono);
        QTest::newRow("a screen, several bands") << known(1920, 1080, QImage::Format_RGB32);
        QTest::newRow("rows wider than a band") << known(120000, 3, QImage::Format_RGB32);
    }
    void writesWhatQtsWriterWrote() {
        QFETCH(QImage, picture);
        QBuffer qts;
        qts.open(QIODevice::WriteOnly);
        QVERIFY(QImageWriter(&qts, "bmp").write(picture.convertToFormat(QImage::Format_RGB32)));
        QBuffer ours;
        ours.open(QIODevice::WriteOnly);
        QVERIFY(WriteBitmap(picture, ours));
        QCOMPARE(ours.data().size(), qts.data().size());
        QVERIFY(ours.data() == qts.data());
        QVERIFY(SavePicture(picture, Path("saved.bmp")));
        QVERIFY(Bytes(Path("saved.bmp")) == qts.data());
    }

    // Every reader refuses every bad file, quickly, and leaves the destination alone.
    void refusesBadFiles_data() {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("special");  // -1: the bytes of `file`
        const QByteArray good = Good24();
        const auto lying = [&](Header h) { return Bmp(h, QByteArray(24, '\0')); };
        const QList<std::pair<const char*, QByteArray>> files = {
            {"empty", QByteArray()},
            {"not BM", "XM" + good.mid(2)},
            {"truncated by one byte", good.left(good.size() - 1)},
            {"header only", good.left(54)},
            {"wider than any composite",
             Bmp(Header().Size(kMaxBitmapWidth + 1, 1), QByteArray(1024, '\0'))},
            {"taller than any composite",
             Bmp(Header().Size(1, kMaxBitmapHeight + 1), QByteArray(1024, '\0'))},
            {"more pixels than any composite", lying(Header().Size(16384, 32769))},
            {"1 KB claiming 30000 x 30000", lying(Header().Size(30000, 30000))},
            {"1 KB claiming 16000 x 16000",
             Bmp(Header().Size(16000, 16000), QByteArray(1000, '\0'))},
            {"zero width", lying(Header().Size(0, 2))},
            {"negative width", lying(Header().Size(-3, 2))},
            {"zero height", lying(Header().Size(3, 0))},
            {"most negative height", lying(Header().Size(1, INT32_MIN))},
            {"depth 7", lying(Header().Size(2, 2).Bits(7))},
            {"depth 64", lying(Header().Size(1, 1).Bits(64))},
            {"two planes", lying(Header().Size(2, 2).Planes(2))},
            {"core header", lying(Header().Size(2, 2).Info(12))},
            {"header of 4000 bytes", lying(Header().Size(2, 2).Info(4000))},
            {"run-length compression", lying(Header().Size(2, 2).Bits(8).Compression(1))},
            {"masks on 24 bits", lying(Header().Size(2, 2).Compression(3))},
            {"300 colours for 8 bits", lying(Header().Size(2, 2).Bits(8).Colours(300))},
            {"palette missing", Bmp(Header().Size(1, 1).Bits(8), "\0\0\0\0")},
            {"pixels past the end", lying(Header().Size(2, 2).Offset(70))},
            {"pixel offset of 4 GB", lying(Header().Size(2, 2).Offset(0xFFFFFFF0))},
            {"pixels inside the header", lying(Header().Size(2, 2).Offset(10))},
        };
        for (const char* reader : {"load", "bmp", "gif", "jpg"}) {
            for (const auto& [name, bytes] : files)
                QTest::addRow("%s: %s", reader, name) << reader << bytes << -1;
            for (Special kind : {Special::Fifo, Special::LinkToZero, Special::LinkToNull,
                                 Special::Directory, Special::Huge})
                QTest::addRow("%s: %s", reader, testsupport::SpecialName(kind))
                    << reader << QByteArray() << int(kind);
        }
    }
    void refusesBadFiles() {
        QFETCH(QString, reader);
        QFETCH(QByteArray, file);
        QFETCH(int, special);
        const QString source = Path("cropped.bmp");
        if (special < 0)
            Put("cropped.bmp", file);
        else
            QVERIFY(testsupport::MakeSpecial(source, Special(special), kMaxBitmapFileBytes + 1));
        testsupport::FifoRescue rescue(source);
        QElapsedTimer timer;
        timer.start();
        QString why;
        QVERIFY2(!ReadThrough(reader, source, &why), qPrintable(why));
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        if (reader != "jpg") QVERIFY2(!why.isEmpty(), "no reason given");
        QFile::remove(source);
        QDir(source).removeRecursively();
    }

    // The reasons name what is wrong, in words a message can show.
    void reasons_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("special");
        QTest::addColumn<QString>("reason");
        const QByteArray good = Good24();
        QTest::newRow("FIFO") << QByteArray() << int(Special::Fifo) << "not a regular file";
        QTest::newRow("device") << QByteArray() << int(Special::LinkToNull) << "not a regular file";
        QTest::newRow("truncated")
            << good.left(good.size() - 1) << -1 << "truncated: 77 of 78 bytes";
        QTest::newRow("not a bitmap")
            << QByteArray("GIF89a and more bytes") << -1 << "not a bitmap file";
    }
    void reasons() {
        QFETCH(QByteArray, file);
        QFETCH(int, special);
        QFETCH(QString, reason);
        const QString source = Path("why.bmp");
        if (special < 0)
            Put("why.bmp", file);
        else
            QVERIFY(testsupport::MakeSpecial(source, Special(special)));
        testsupport::FifoRescue rescue(source);
        QCOMPARE(ReadBitmapFile(source).reason, reason);
        QCOMPARE(CopyBitmapFile(source, Path("why-copy.bmp")).reason, reason);
        QVERIFY(!QFile::exists(Path("why-copy.bmp")));
        QFile::remove(source);
    }
};

QTEST_GUILESS_MAIN(BitmapReaderTest)
#include "bitmap_reader_test.moc"
