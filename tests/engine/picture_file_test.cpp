// The picture-file writer of the command-line tool: each format read back pixel by pixel,
// JPEG that decodes to exactly what Save As's JPEG decodes to, and failed writes that
// leave the old file.
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include "engine/jpg_writer.h"
#include "formats/bitmap_file.h"
#include "formats/picture_file.h"
#include "support/export_test_support.h"

Q_DECLARE_METATYPE(PictureFormat)

namespace {

// One-pixel rows, each its own colour, as on a capture test page.
QImage Bands(int width, int height, QImage::Format format) {
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(y & 0xff, (y >> 8) & 0xff, 0x5a));
    return image;
}

// Every pixel its own colour.
QImage Rainbow(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 3 & 0xff, y * 5 & 0xff, x ^ y));
    return image;
}

QImage Read(const QString& path, const char* format) {
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first pixel at which two pictures differ, as "x,y", or "same".
QString FirstDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return QStringLiteral("size %1x%2 vs %3x%4")
            .arg(a.width())
            .arg(a.height())
            .arg(b.width())
            .arg(b.height());
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c)
            if ((x.pixel(c, r) & 0xffffff) != (y.pixel(c, r) & 0xffffff))
                return QStringLiteral("%1,%2").arg(c).arg(r);
    return QStringLiteral("same");
}

}  // namespace

class PictureFileTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

  private Q_SLOTS:
    void formatForPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format");  // -1: none
        QTest::newRow("bmp") << "/a/b.bmp" << int(PictureFormat::Bmp);
        QTest::newRow("jpg") << "b.JPG" << int(PictureFormat::Jpeg);
        QTest::newRow("jpeg") << "b.jpeg" << int(PictureFormat::Jpeg);
        QTest::newRow("JPEG") << "x/b.JpEg" << int(PictureFormat::Jpeg);
        QTest::newRow("gif") << "b.gif" << int(PictureFormat::Gif);
        QTest::newRow("png") << "b.c.png" << int(PictureFormat::Png);
        QTest::newRow("only the ending") << ".png" << int(PictureFormat::Png);
        QTest::newRow("jpe") << "b.jpe" << int(PictureFormat::Jpeg);
        QTest::newRow("JPE") << "/x/A.JPE" << int(PictureFormat::Jpeg);
        QTest::newRow("BMP") << "/home/u/SHOT.BMP" << int(PictureFormat::Bmp);
        QTest::newRow("png, relative") << "relative.PnG" << int(PictureFormat::Png);
        QTest::newRow("jpg, backslashes") << "C:\\pics\\a.Jpg" << int(PictureFormat::Jpeg);
        QTest::newRow("Jpeg, backslashes") << "C:\\pics\\a.Jpeg" << int(PictureFormat::Jpeg);
        QTest::newRow("two dots") << "/x/page.2.png" << int(PictureFormat::Png);
        QTest::newRow("jpg inside a longer ending") << "/x/a.xjpg" << -1;
        QTest::newRow("jpegs") << "/x/a.jpegs" << -1;
        QTest::newRow("ending without a dot") << "/x/apng" << -1;
        QTest::newRow("trailing dot") << "/x/a.png." << -1;
        QTest::newRow("pdf") << "/x/Report.PDF" << int(PictureFormat::Pdf);
        QTest::newRow("webp") << "/x/a.WebP" << int(PictureFormat::Webp);
        QTest::newRow("avif") << "a.avif" << int(PictureFormat::Avif);
        QTest::newRow("tif") << "/x/a.tif" << -1;
        QTest::newRow("no extension") << "/x/newimage" << -1;
        QTest::newRow("dot in windows folder") << "C:\\my.gif\\pic" << -1;
        QTest::newRow("ending on the folder") << "b.png/c" << -1;
        QTest::newRow("folder") << "pics/" << -1;
        QTest::newRow("png with more after it") << "b.png.txt" << -1;
    }
    void formatForPath() {
        QFETCH(QString, path);
        QFETCH(int, format);
        const auto got = PictureFormatForPath(path);
        QCOMPARE(got ? int(*got) : -1, format);
    }

    void lossless_data() {
        QTest::addColumn<PictureFormat>("format");
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QByteArray>("reader");
        // Bands of 256 rows: 256 colours, which GIF keeps exactly too.
        for (auto [name, format, reader] : {std::tuple{"bmp", PictureFormat::Bmp, "bmp"},
                                            std::tuple{"png", PictureFormat::Png, "png"},
                                            std::tuple{"gif", PictureFormat::Gif, "gif"}}) {
            QTest::addRow("%s, 256 bands, RGB32", name)
                << format << Bands(37, 256, QImage::Format_RGB32) << QByteArray(reader);
            QTest::addRow("%s, 256 bands, ARGB32 premultiplied", name)
                << format << Bands(5, 256, QImage::Format_ARGB32_Premultiplied)
                << QByteArray(reader);
            QTest::addRow("%s, one pixel", name)
                << format << Bands(1, 1, QImage::Format_RGB32) << QByteArray(reader);
        }
        QTest::newRow("bmp, every pixel its colour")
            << PictureFormat::Bmp << Rainbow(301, 203) << QByteArray("bmp");
        QTest::newRow("png, every pixel its colour")
            << PictureFormat::Png << Rainbow(301, 203) << QByteArray("png");
        QTest::newRow("png, 6000 bands")
            << PictureFormat::Png << Bands(3, 6000, QImage::Format_RGB32) << QByteArray("png");
        QTest::newRow("bmp, RGB888")
            << PictureFormat::Bmp << Rainbow(17, 9).convertToFormat(QImage::Format_RGB888)
            << QByteArray("bmp");
    }
    void lossless() {
        QFETCH(PictureFormat, format);
        QFETCH(QImage, picture);
        QFETCH(QByteArray, reader);
        const QString path = dir_.filePath(QStringLiteral("lossless.") + reader);
        QVERIFY(WritePictureFile(picture, path, format));
        QCOMPARE(FirstDifference(Read(path, reader.constData()), picture), QStringLiteral("same"));
    }

    void jpegAsSaveAs_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<int>("quality");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("gradients, 85") << exporttest::Gradients(320, 200) << 85 << false;
        QTest::newRow("gradients, 30, progressive")
            << exporttest::Gradients(320, 200) << 30 << true;
        QTest::newRow("text, 100") << exporttest::PageOfText() << 100 << false;
        QTest::newRow("odd size, 1") << Rainbow(33, 17) << 1 << false;
        QTest::newRow("bands, premultiplied, 92, progressive")
            << Bands(64, 300, QImage::Format_ARGB32_Premultiplied) << 92 << true;
        QTest::newRow("RGB888") << Rainbow(40, 40).convertToFormat(QImage::Format_RGB888) << 85
                                << false;
        QTest::newRow("indexed")
            << exporttest::NColours(16, 50, 30).convertToFormat(QImage::Format_Indexed8) << 75
            << false;
    }
    void jpegAsSaveAs() {
        QFETCH(QImage, picture);
        QFETCH(int, quality);
        QFETCH(bool, progressive);
        // Save As: the picture goes through a bitmap file into the imaging library.
        const QString bitmap = dir_.filePath("source.bmp");
        const QString saveAs = dir_.filePath("save_as.jpg");
        QVERIFY(SavePicture(picture, bitmap));
        auto library = MakeTurboImagingLibrary();
        JpgBuffer buffer;
        QCOMPARE(WriteJpgFromBitmap(*library, buffer, bitmap, saveAs, quality, progressive ? 1 : 0),
                 JpgSaveResult::Written);
        library->GlobalFree(buffer.JpgImage);

        const QString direct = dir_.filePath("direct.jpeg");
        QVERIFY(WritePictureFile(picture, direct, PictureFormat::Jpeg, {quality, progressive}));
        // The same quantisation, sampling and transform: the very same pixels come back
        // (how the coefficients are coded may differ).
        const QImage ours = Read(direct, "jpeg");
        QCOMPARE(ours.size(), picture.size());
        QCOMPARE(FirstDifference(ours, Read(saveAs, "jpeg")), QStringLiteral("same"));
        QCOMPARE(Bytes(direct).contains("\xff\xc2"), progressive);
    }

    void failedWriteKeepsOldFile_data() {
        QTest::addColumn<PictureFormat>("format");
        QTest::addColumn<QString>("problem");
        for (auto [name, format] :
             {std::pair{"bmp", PictureFormat::Bmp}, std::pair{"jpg", PictureFormat::Jpeg},
              std::pair{"gif", PictureFormat::Gif}, std::pair{"png", PictureFormat::Png}}) {
            QTest::addRow("%s, empty picture", name) << format << "empty picture";
            // The name leaves no room for the temporary file beside it, even for root.
            QTest::addRow("%s, no room for the temporary file", name) << format << "long name";
        }
    }
    void failedWriteKeepsOldFile() {
        QFETCH(PictureFormat, format);
        QFETCH(QString, problem);
        const QString name = problem == u"long name" ? QString(250, u'n') + QStringLiteral(".out")
                                                     : QStringLiteral("old.out");
        const QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the old picture");
        old.close();
        const QImage picture = problem == u"empty picture" ? QImage() : Rainbow(50, 40);
        QVERIFY(!WritePictureFile(picture, path, format));
        QCOMPARE(Bytes(path), QByteArray("the old picture"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    }

    // The tallest picture a format holds is written; one row more is refused, which is
    // why the capture stops there before it starts.
    void tallestPicture_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::newRow("JPEG") << "tallest.jpg" << int(PictureFormat::Jpeg);
        QTest::newRow("GIF") << "tallest.gif" << int(PictureFormat::Gif);
    }
    void tallestPicture() {
        QFETCH(QString, name);
        QFETCH(int, format);
        const auto kind = PictureFormat(format);
        const int rows = int(MostPictureRows(kind, 2));
        const QString path = dir_.filePath(name);
        QImage picture(2, rows, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QVERIFY(WritePictureFile(picture, path, kind));
        QCOMPARE(QImageReader(path).size(), QSize(2, rows));
        QImage taller(2, rows + 1, QImage::Format_RGB32);
        taller.fill(Qt::white);
        QVERIFY(!WritePictureFile(taller, path, kind));
        QCOMPARE(QImageReader(path).size(), QSize(2, rows));
    }

    void noFolder() {
        const QString path = dir_.filePath("missing/a.png");
        QVERIFY(!WritePictureFile(Rainbow(4, 4), path, PictureFormat::Png));
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(PictureFileTest)
#include "picture_file_test.moc"
