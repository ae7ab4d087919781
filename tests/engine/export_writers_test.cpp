// The export writers without windows: the choice of writer, the PNG writer's
// encoder table, every writer's file read back by another decoder, and the JPEG
// save's steps against a recording library.
#include <QImageReader>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <algorithm>

#include "engine/cgdiplus.h"
#include "engine/jpg_writer.h"
#include "formats/bitmap_copy.h"
#include "formats/bitmap_file.h"
#include "formats/gif_file.h"
#include "formats/png_file.h"
#include "support/export_test_support.h"

#include <turbojpeg.h>

using namespace exporttest;
Q_DECLARE_METATYPE(JpgSaveResult)

namespace {

QImage Decode(const QString& path, const char* format) {
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// The same 24-bit bitmap stored top-down (negative height).
QByteArray TopDown(const QByteArray& bmp) {
    QByteArray out = bmp;
    const auto u32 = [&](int at) { return qFromLittleEndian<qint32>(bmp.constData() + at); };
    const int offset = u32(10), height = u32(22), stride = (u32(18) * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        out.replace(offset + y * stride, stride,
                    bmp.mid(offset + (height - 1 - y) * stride, stride));
    qToLittleEndian<qint32>(-height, out.data() + 22);
    return out;
}

// A PNG's chunks by type, the IDAT ones joined.
QMap<QByteArray, QByteArray> PngChunks(const QByteArray& png) {
    QMap<QByteArray, QByteArray> chunks;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
        chunks[png.mid(at + 4, 4)] += png.mid(at + 8, length);
        at += 12 + length;
    }
    return chunks;
}

// The filter type of every row of an 8-bit RGB PNG.
QList<int> PngFilters(const QByteArray& png, int width, int height) {
    const QByteArray idat = PngChunks(png).value("IDAT");
    const qsizetype stride = 1 + qsizetype(width) * 3;
    QByteArray sized(4, '\0');
    qToBigEndian<quint32>(quint32(stride * height), sized.data());
    const QByteArray rows = qUncompress(sized + idat);
    QList<int> filters;
    for (int y = 0; y < height && (y + 1) * stride <= rows.size(); ++y)
        filters << uchar(rows[y * stride]);
    return filters;
}

// A picture `times` times as tall, the picture repeated below itself.
QImage Tall(const QImage& picture, int times) {
    QImage tall(picture.width(), picture.height() * times, QImage::Format_RGB32);
    QPainter p(&tall);
    for (int i = 0; i < times; ++i) p.drawImage(0, i * picture.height(), picture);
    return tall;
}

// Every pixel a colour of its own, as far as 24 bits go.
QImage Noise(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, 0xFF000000u | (state >> 8));
        }
    return image;
}

// A GIF's global colour table.
QList<QRgb> GifColourTable(const QByteArray& gif) {
    QList<QRgb> table;
    if (gif.size() < 13 || !(uchar(gif[10]) & 0x80)) return table;
    const int size = 2 << (uchar(gif[10]) & 7);
    for (int i = 0; i < size && 13 + 3 * i + 2 < gif.size(); ++i)
        table << qRgb(uchar(gif[13 + 3 * i]), uchar(gif[14 + 3 * i]), uchar(gif[15 + 3 * i]));
    return table;
}

QImage DecodeBytes(const QByteArray& bytes, const char* format) {
    return QImage::fromData(bytes, format).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class ExportWritersTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Bitmap(const QString& name, const QImage& picture) const {
        return SavePicture(picture, Path(name)) ? Path(name) : QString();
    }

  private Q_SLOTS:
    void gdiErrorString_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        for (int unknown : {0, 21, -1})
            QTest::addRow("%d", unknown) << unknown << "Unknown GDI+ Error";
        QTest::newRow("1") << 1 << "Generic Error";
        QTest::newRow("12") << 12 << "Access Denied";
        QTest::newRow("14") << 14 << "FontFamily Not Found";
        QTest::newRow("20") << 20 << "Property Not Supported";
    }
    void gdiErrorString() {
        QFETCH(int, status);
        QFETCH(QString, text);
        QCOMPARE(cGdiPlus::GdiErrorString(status), text);
    }

    void qtEncoderTable() {
        cGdiPlus writer;
        const int png = writer.EncoderIndex("*.png"), jpg = writer.EncoderIndex("*.jpg");
        QVERIFY(png >= 0 && jpg >= 0 && png != jpg && writer.EncoderIndex("*.bmp") >= 0);
        QCOMPARE(writer.EncoderIndex("*.PNG"), png);
        QCOMPARE(writer.EncoderIndex("*.Jpeg"), jpg);
        for (const char* absent : {"*.", "*.xyz", "png"}) QCOMPARE(writer.EncoderIndex(absent), -1);
        // Unknown or missing extensions: false, no event, no file.
        QSignalSpy errors(&writer, &cGdiPlus::Error);
        QVERIFY(QDir(dir_.path()).mkdir("dir.png"));
        for (const char* name : {"out.xyz", "noext", "dir.png/noext"}) {
            QVERIFY(!writer.PictureBoxToFile(NColours(3, 8, 8), Path(name), 85));
            QVERIFY(!QFile::exists(Path(name)));
        }
        QCOMPARE(errors.count(), 0);
    }

    // JPEG encoders get the quality; a failed save raises Error with its text.
    void qtEncoderQualityAndErrors() {
        cGdiPlus writer;
        QSignalSpy errors(&writer, &cGdiPlus::Error);
        QVERIFY(writer.PictureBoxToFile(Gradients(200, 100), Path("q10.JPG"), 10));
        QVERIFY(writer.PictureBoxToFile(Gradients(200, 100), Path("q95.jpeg"), 95));
        QVERIFY(QFileInfo(Path("q10.JPG")).size() * 2 < QFileInfo(Path("q95.jpeg")).size());
        QVERIFY(Psnr(Decode(Path("q95.jpeg"), "jpeg"), Gradients(200, 100)) > 35);
        QCOMPARE(errors.count(), 0);
        QVERIFY(!writer.PictureBoxToFile(Gradients(20, 10), Path("none/a.png"), 85));
        QCOMPARE(errors.value(0), QVariantList({10, "File Not Found"}));
    }

    void bitmapCopyIsByteExact() {
        const QString source = Bitmap("cropped.bmp", Gradients(37, 23));
        QVERIFY(WriteBytes(Path("copy.bmp"), "older, longer content that must go entirely"));
        QVERIFY(CopyBitmapFile(source, Path("copy.bmp")).ok);
        QCOMPARE(FileBytes(Path("copy.bmp")), FileBytes(source));
    }

    // A missing source or a file that cannot be written: false, and the file that was
    // at the destination stays as it was. A folder that takes no new file still lets
    // its existing file be replaced.
    void failedWritesKeepTheOldFile_data() {
        QTest::addColumn<QString>("writer");
        for (const char* w : {"bmp", "gif", "png", "jpg"}) QTest::newRow(w) << w;
    }
    void failedWritesKeepTheOldFile() {
        QFETCH(QString, writer);
        auto library = MakeTurboImagingLibrary();
        const auto write = [&](const QString& from, const QString& to) {
            if (writer == "bmp") return CopyBitmapFile(from, to).ok;
            if (writer == "gif") return WriteGifFromBitmap(from, to).ok;
            if (writer == "png") return cGdiPlus().PictureBoxToFile(QImage(from), to, 85);
            JpgBuffer buffer;
            return WriteJpgFromBitmap(*library, buffer, from, to, 85, 0) == JpgSaveResult::Written;
        };
        const QString source = Bitmap("source.bmp", NColours(5, 20, 10));
        const QString locked = Path("locked-" + writer), old = locked + "/out." + writer;
        QVERIFY(QDir().mkpath(locked) && WriteBytes(old, "the old file"));
        QVERIFY(!write(Path("missing.bmp"), old));
        QCOMPARE(FileBytes(old), QByteArray("the old file"));
        LockedFolder lock(locked);
        if (!lock.Usable()) QSKIP("no way to lock a folder here");
        // The folder takes no new file: no new name, and nothing left behind.
        QVERIFY(!write(source, locked + "/new." + writer));
        QCOMPARE(QDir(locked).entryList(QDir::Files), QStringList{"out." + writer});
        {
            ImmutableFile fileLock(old);
            if (!fileLock.Usable()) QSKIP("no way to lock a file here");
            QVERIFY(!write(source, old));
            QCOMPARE(FileBytes(old), QByteArray("the old file"));
        }
        // But its file may be rewritten: the save goes there, in place.
        QVERIFY(write(source, old));
        QCOMPARE(QDir(locked).entryList(QDir::Files), QStringList{"out." + writer});
        if (writer == "bmp") QCOMPARE(FileBytes(old), FileBytes(source));
        if (writer == "gif" || writer == "png")
            QVERIFY(SamePixels(Decode(old, qPrintable(writer)), NColours(5, 20, 10)));
        if (writer == "jpg") QVERIFY(Psnr(Decode(old, "jpg"), NColours(5, 20, 10)) > 20);
    }

    void pngEqualsThePicture_data() {
        QTest::addColumn<QImage>("picture");
        // Palette rows packed to 1, 2, 4 and 8 bits at widths that end mid-byte, and colour.
        for (int n : {1, 2, 4, 5, 16, 17, 256})
            QTest::addRow("%d colours", n) << NColours(n, 13 + n % 7, 9 + n / 4);
        QTest::newRow("gradients") << Gradients(64, 48);
        QTest::newRow("page of text") << PageOfText();
    }
    void pngEqualsThePicture() {
        QFETCH(QImage, picture);
        QVERIFY(cGdiPlus().PictureBoxToFile(picture, Path("out.PNG"), 85));
        QVERIFY(SamePixels(Decode(Path("out.PNG"), "png"), picture));
    }

    // The bit depth each palette size gets, and colour beyond 256 colours.
    void pngBitDepth_data() {
        QTest::addColumn<int>("colours");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("colourType");  // 3 palette, 2 RGB
        QTest::newRow("1") << 1 << 1 << 3;
        QTest::newRow("2") << 2 << 1 << 3;
        QTest::newRow("3") << 3 << 2 << 3;
        QTest::newRow("4") << 4 << 2 << 3;
        QTest::newRow("5") << 5 << 4 << 3;
        QTest::newRow("16") << 16 << 4 << 3;
        QTest::newRow("17") << 17 << 8 << 3;
        QTest::newRow("256") << 256 << 8 << 3;
        QTest::newRow("257") << 257 << 8 << 2;
    }
    void pngBitDepth() {
        QFETCH(int, colours);
        QFETCH(int, depth);
        QFETCH(int, colourType);
        const QImage picture = NColours(colours, 61, 37);
        const std::optional<QByteArray> png = EncodePng(picture);
        QVERIFY(png);
        const QByteArray header = PngChunks(*png).value("IHDR");
        QCOMPARE(header.size(), 13);
        QCOMPARE(qFromBigEndian<quint32>(header.constData()), 61u);
        QCOMPARE(qFromBigEndian<quint32>(header.constData() + 4), 37u);
        QCOMPARE(int(uchar(header[8])), depth);
        QCOMPARE(int(uchar(header[9])), colourType);
        QCOMPARE(PngChunks(*png).value("PLTE").size(), colourType == 3 ? 3 * colours : 0);
        QVERIFY(SamePixels(DecodeBytes(*png, "png"), picture));
    }

    // Every encoding weighed is the whole picture, and the one kept is the smallest of
    // them; a tall picture that one way of filtering clearly suits is encoded that way
    // alone.
    void pngKeepsTheSmallest_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<int>("tried");
        QTest::addColumn<QString>("filters");  // of the kept file: none, some, any
        QTest::newRow("palette") << NColours(40, 50, 30) << 1 << "any";
        QTest::newRow("page of text") << PageOfText() << 2 << "none";
        QTest::newRow("gradients") << Gradients(200, 150) << 2 << "some";
        QTest::newRow("noise") << Noise(90, 70) << 2 << "any";
        QTest::newRow("tall page of text") << Tall(PageOfText(), 6) << 1 << "none";
        QTest::newRow("tall gradients") << Gradients(300, 1400) << 1 << "some";
    }
    void pngKeepsTheSmallest() {
        QFETCH(QImage, picture);
        QFETCH(int, tried);
        QFETCH(QString, filters);
        const std::vector<QByteArray> candidates = PngCandidates(picture);
        QCOMPARE(int(candidates.size()), tried);
        qsizetype smallest = candidates.front().size();
        for (const QByteArray& png : candidates) {
            QVERIFY(SamePixels(DecodeBytes(png, "png"), picture));
            smallest = std::min(smallest, png.size());
        }
        const std::optional<QByteArray> kept = EncodePng(picture);
        QVERIFY(kept);
        QCOMPARE(kept->size(), smallest);
        QVERIFY(std::find(candidates.begin(), candidates.end(), *kept) != candidates.end());
        if (filters == "any") return;
        const QList<int> types = PngFilters(*kept, picture.width(), picture.height());
        QCOMPARE(types.size(), picture.height());
        QCOMPARE(types.count(0) == types.size(), filters == "none");
    }

    // GIF sizes are 16-bit: 65,535 pixels wide or tall is written, 65,536 refused
    // without touching the old file.
    void gifSizeLimit_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("written");
        QTest::newRow("65535 wide") << QSize(65535, 2) << true;
        QTest::newRow("65535 tall") << QSize(2, 65535) << true;
        QTest::newRow("65536 wide") << QSize(65536, 2) << false;
        QTest::newRow("65536 tall") << QSize(2, 65536) << false;
    }
    void gifSizeLimit() {
        QFETCH(QSize, size);
        QFETCH(bool, written);
        QImage picture(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                picture.setPixel(x, y, (x + y) % 3 == 0 ? 0xFFFF0000u : 0xFF0000FFu);
        QVERIFY(WriteBytes(Path("limit.gif"), "the old file"));
        QCOMPARE(WriteGif(picture, Path("limit.gif")).ok, written);
        if (!written) {
            QCOMPARE(FileBytes(Path("limit.gif")), QByteArray("the old file"));
            return;
        }
        QImageReader reader(Path("limit.gif"), "gif");
        QCOMPARE(reader.size(), size);
        QVERIFY(SamePixels(reader.read().convertToFormat(QImage::Format_RGB32), picture));
    }

    // A picture of more than 256 colours: every pixel gets the palette colour nearest
    // to its own, so no pixel could have done better.
    void gifNearestColours_data() {
        QTest::addColumn<QImage>("picture");
        QTest::newRow("257 colours") << NColours(257, 40, 30);
        QTest::newRow("gradients") << Gradients(200, 150);
        QTest::newRow("page of text") << PageOfText();
        // More colours than the colour table's first size: it has to grow.
        QTest::newRow("noise") << Noise(300, 200);
    }
    void gifNearestColours() {
        QFETCH(QImage, picture);
        QVERIFY(WriteGif(picture, Path("nearest.gif")));
        const QImage indexed = Decode(Path("nearest.gif"), "gif");
        QCOMPARE(indexed.size(), picture.size());
        const QList<QRgb> palette = GifColourTable(FileBytes(Path("nearest.gif")));
        QVERIFY(!palette.isEmpty());
        const auto distance = [](QRgb a, QRgb b) {
            const int r = qRed(a) - qRed(b), g = qGreen(a) - qGreen(b), u = qBlue(a) - qBlue(b);
            return r * r + g * g + u * u;
        };
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb want = picture.pixel(x, y), got = indexed.pixel(x, y);
                int best = distance(want, got);
                for (QRgb c : palette) best = std::min(best, distance(want, c));
                if (best != distance(want, got))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

    // Huffman tables made for the picture change the bytes, never the pixels: the
    // baseline file decodes exactly as one with the standard tables and the same (accurate)
    // DCT, and is smaller.
    void jpegOptimisedTables_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<int>("quality");
        QTest::newRow("gradients q85") << Gradients(301, 203) << 85;
        QTest::newRow("page of text q85") << PageOfText() << 85;
        QTest::newRow("page of text q40") << PageOfText() << 40;
        QTest::newRow("gradients q95") << Gradients(301, 203) << 95;
        QTest::newRow("gradients q96") << Gradients(301, 203) << 96;
        QTest::newRow("noise q100") << Noise(97, 61) << 100;
    }
    void jpegOptimisedTables() {
        QFETCH(QImage, picture);
        QFETCH(int, quality);
        auto library = MakeTurboImagingLibrary();
        JpgBuffer buffer;
        QCOMPARE(WriteJpgFromBitmap(*library, buffer, Bitmap("opt.bmp", picture), Path("opt.jpg"),
                                    quality, 0),
                 JpgSaveResult::Written);
        const QByteArray ours = FileBytes(Path("opt.jpg"));
        QCOMPARE(StartOfFrame(ours), 0xC0);

        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        tjhandle compressor = tjInitCompress();
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        QCOMPARE(tjCompress2(compressor, rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()),
                             rgb.height(), TJPF_RGB, &jpeg, &size, TJSAMP_420, quality,
                             TJFLAG_ACCURATEDCT),
                 0);
        const QByteArray standard(reinterpret_cast<const char*>(jpeg), qsizetype(size));
        tjFree(jpeg);
        tjDestroy(compressor);

        QVERIFY2(ours.size() < standard.size(),
                 qPrintable(QStringLiteral("%1 >= %2").arg(ours.size()).arg(standard.size())));
        const QImage a = DecodeBytes(ours, "jpeg"), b = DecodeBytes(standard, "jpeg");
        QCOMPARE(a.size(), picture.size());
        QVERIFY(SamePixels(a, b));
    }

    void gifColours_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<double>("minPsnr");  // 99: exact
        QTest::newRow("5 colours") << NColours(5, 50, 40) << 99.0;
        QTest::newRow("256 colours") << NColours(256, 40, 30) << 99.0;
        QTest::newRow("257 colours") << NColours(257, 40, 30) << 30.0;
        QTest::newRow("gradients") << Gradients(200, 150) << 30.0;
        QTest::newRow("page of text") << PageOfText() << 30.0;
    }
    void gifColours() {
        QFETCH(QImage, picture);
        QFETCH(double, minPsnr);
        QCOMPARE(ColourCount(picture) > 256, minPsnr < 99);
        QVERIFY(WriteGifFromBitmap(Bitmap("gif-source.bmp", picture), Path("out.gif")));
        QVERIFY(FileBytes(Path("out.gif")).startsWith("GIF89a"));
        const QImage decoded = Decode(Path("out.gif"), "gif");
        QVERIFY(ColourCount(decoded) <= 256);
        QVERIFY2(Psnr(decoded, picture) >= minPsnr,
                 qPrintable(QString::number(Psnr(decoded, picture))));
    }

    void jpeg_data() {
        QTest::addColumn<int>("progressive");
        QTest::addColumn<int>("marker");
        QTest::addColumn<QByteArray>("bitmap");
        const QByteArray bmp = FileBytes(Bitmap("jpg-source.bmp", Gradients(301, 203)));
        QTest::newRow("baseline") << 0 << 0xC0 << bmp;
        QTest::newRow("progressive") << 1 << 0xC2 << bmp;
        QTest::newRow("top-down bitmap") << 0 << 0xC0 << TopDown(bmp);
    }
    void jpeg() {
        QFETCH(int, progressive);
        QFETCH(int, marker);
        QFETCH(QByteArray, bitmap);
        QVERIFY(WriteBytes(Path("jpg-in.bmp"), bitmap));
        auto library = MakeTurboImagingLibrary();
        JpgBuffer buffer;
        QCOMPARE(WriteJpgFromBitmap(*library, buffer, Path("jpg-in.bmp"), Path("out.jpg"), 85,
                                    progressive),
                 JpgSaveResult::Written);
        QCOMPARE(QSize(buffer.JpgWidth, buffer.JpgHeight), QSize(301, 203));
        QCOMPARE(StartOfFrame(FileBytes(Path("out.jpg"))), marker);
        const double psnr = Psnr(Decode(Path("out.jpg"), "jpeg"), Gradients(301, 203));
        QVERIFY2(psnr > 30, qPrintable(QString::number(psnr)));
    }

    // A file that opens but holds no readable bitmap gives no JPEG: a failed write.
    void unreadableBitmap_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a bitmap") << QByteArray("plain text, no picture here");
        QTest::newRow("cut short") << FileBytes(Bitmap("whole.bmp", NColours(5, 30, 30))).left(40);
    }
    void unreadableBitmap() {
        QFETCH(QByteArray, content);
        QVERIFY(WriteBytes(Path("bad.bmp"), content) && WriteBytes(Path("kept.jpg"), "old jpeg"));
        auto library = MakeTurboImagingLibrary();
        JpgBuffer buffer;
        QCOMPARE(WriteJpgFromBitmap(*library, buffer, Path("bad.bmp"), Path("kept.jpg"), 85, 0),
                 JpgSaveResult::WriteFailed);
        QCOMPARE(FileBytes(Path("kept.jpg")), QByteArray("old jpeg"));
    }

    // The library's own guard: a write that fails once the destination is open leaves
    // the old file.
    void failedLibraryWriteKeepsOldFile() {
        auto library = MakeTurboImagingLibrary();
        const ISHandle src = library->ISOpenFileSource(Bitmap("lib.bmp", NColours(5, 10, 10)));
        int w = 0, h = 0;
        const ISHandle image = library->ISReadBMP(src, w, h, 24, 0);
        QVERIFY(WriteBytes(Path("lib.jpg"), "old jpeg"));
        const ISHandle dest = library->ISOpenFileDest(Path("lib.jpg"));
        QVERIFY(image && dest);
        QCOMPARE(library->ISWriteJPG(dest, image, w + 1, h, 85, 0, 24, 0), 0);
        QCOMPARE(library->ISCloseDest(dest), 0);
        QCOMPARE(FileBytes(Path("lib.jpg")), QByteArray("old jpeg"));
    }

    void jpgSaveSteps_data() {
        QTest::addColumn<QList<int>>("answers");  // source, read, dest, write, close
        QTest::addColumn<int>("steps");           // calls made, of the seven below
        QTest::addColumn<JpgSaveResult>("result");
        QTest::newRow("written") << QList<int>{1, 1, 1, 1234, 1} << 7 << JpgSaveResult::Written;
        QTest::newRow("no source") << QList<int>{0, 1, 1, 1, 1} << 1 << JpgSaveResult::NoSource;
        QTest::newRow("unreadable") << QList<int>{1, 0, 1, 1, 1} << 3 << JpgSaveResult::WriteFailed;
        QTest::newRow("cannot create")
            << QList<int>{1, 1, 0, 1, 1} << 4 << JpgSaveResult::CannotCreate;
        QTest::newRow("write fails")
            << QList<int>{1, 1, 1, 0, 1} << 7 << JpgSaveResult::WriteFailed;
        QTest::newRow("negative count")
            << QList<int>{1, 1, 1, -5, 1} << 7 << JpgSaveResult::WriteFailed;
        QTest::newRow("cannot finish")
            << QList<int>{1, 1, 1, 99, 0} << 7 << JpgSaveResult::WriteFailed;
    }
    void jpgSaveSteps() {
        QFETCH(QList<int>, answers);
        QFETCH(int, steps);
        QFETCH(JpgSaveResult, result);
        RecordingLibrary library;
        library.sourceOk = answers[0], library.readOk = answers[1], library.destOk = answers[2];
        library.writeResult = answers[3], library.closeResult = answers[4];
        JpgBuffer buffer;
        QCOMPARE(WriteJpgFromBitmap(library, buffer, "/p/cropped.bmp", "/s/out.jpg", 73, 1),
                 result);
        const QStringList all{"OpenFileSource /p/cropped.bmp",
                              "ReadBMP 1 24 0",
                              "CloseSource 1",
                              "OpenFileDest /s/out.jpg",
                              "ClearJPGOutputText",
                              "WriteJPG 2 101 40x30 q73 p1 24 0",
                              "CloseDest 2"};
        QCOMPARE(library.calls, all.mid(0, steps));
    }
};

QTEST_MAIN(ExportWritersTest)
#include "export_writers_test.moc"
