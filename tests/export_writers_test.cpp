// The export writers without windows: the choice of writer, the PNG writer's
// encoder table, every writer's file read back by another decoder, and the JPEG
// save's steps against a recording library.
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "export/cgdiplus.h"
#include "export/file_copy.h"
#include "export/jpg_writer.h"
#include "export/save_as_dispatch.h"
#include "export_test_support.h"
#include "platform/bitmap_file.h"
#include "platform/gif_control.h"

using namespace exporttest;
Q_DECLARE_METATYPE(SaveWriter)
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

}  // namespace

class ExportWritersTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Bitmap(const QString& name, const QImage& picture) const {
        return SavePicture(picture, Path(name)) ? Path(name) : QString();
    }

  private Q_SLOTS:
    void dispatch_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<SaveWriter>("writer");
        QTest::newRow("bmp") << "/home/u/shot.bmp" << SaveWriter::Bmp;
        QTest::newRow("BMP") << "/home/u/SHOT.BMP" << SaveWriter::Bmp;
        QTest::newRow("jpg, backslashes") << "C:\\pics\\a.Jpg" << SaveWriter::Jpg;
        QTest::newRow("gif") << "/x/a.gif" << SaveWriter::Gif;
        QTest::newRow("png, relative") << "relative.PnG" << SaveWriter::Png;
        QTest::newRow("name is the ending") << "/x/.png" << SaveWriter::Png;
        QTest::newRow("jpeg") << "/x/a.jpeg" << SaveWriter::Jpg;
        QTest::newRow("tif") << "/x/a.tif" << SaveWriter::None;
        QTest::newRow("no extension") << "/x/newimage" << SaveWriter::None;
        QTest::newRow("dot in folder") << "/x/shots.png/pic" << SaveWriter::None;
        QTest::newRow("dot in windows folder") << "C:\\my.gif\\pic" << SaveWriter::None;
    }
    void dispatch() {
        QFETCH(QString, path);
        QFETCH(SaveWriter, writer);
        QCOMPARE(WriterForName(path), writer);
    }

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
        QVERIFY(CopyFileAtomically(source, Path("copy.bmp")));
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
            if (writer == "bmp") return CopyFileAtomically(from, to);
            if (writer == "gif") return WriteGifFromBitmap(from, to);
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
