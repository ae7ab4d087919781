// Every writer's file read back by an independent decoder, and the JPEG save's steps
// against a recording library.
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include "export/cgdiplus.h"
#include "export/file_copy.h"
#include "export/jpg_writer.h"
#include "export_fakes.h"
#include "export_pictures.h"
#include "platform/bitmap_file.h"
#include "platform/gif_control.h"
#include "platform/imaging_library.h"

using namespace exporttest;

Q_DECLARE_METATYPE(JpgSaveResult)

namespace {

QImage Decode(const QString& path, const char* format) {
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);
    return reader.read();
}

// The same bitmap stored top-down (negative height), which some readers refuse.
QByteArray TopDown(const QByteArray& bottomUp) {
    QByteArray out = bottomUp;
    const auto u32 = [&](int at) {
        return qint32(uchar(out[at]) | uchar(out[at + 1]) << 8 | uchar(out[at + 2]) << 16 |
                      uchar(out[at + 3]) << 24);
    };
    const int offset = u32(10), width = u32(18), height = u32(22);
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        out.replace(offset + y * stride, stride,
                    bottomUp.mid(offset + (height - 1 - y) * stride, stride));
    const qint32 negative = -height;
    for (int i = 0; i < 4; ++i) out[22 + i] = char((quint32(negative) >> (8 * i)) & 0xFF);
    return out;
}

}  // namespace

class ExportWritersTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Bitmap(const QString& name, const QImage& picture) const {
        const QString path = Path(name);
        return SavePicture(picture, path) ? path : QString();
    }

  private Q_SLOTS:
    void bitmapCopyIsByteExact() {
        const QString source = Bitmap("cropped.bmp", RichColours(37, 23));
        QVERIFY(WriteBytes(Path("copy.bmp"), "older, longer content that must go entirely"));
        QVERIFY(CopyFileAtomically(source, Path("copy.bmp")));
        QCOMPARE(FileBytes(Path("copy.bmp")), FileBytes(source));
        QVERIFY(SamePixels(Decode(Path("copy.bmp"), "bmp"), RichColours(37, 23)));
    }

    void failedWritesKeepTheOldFile_data() {
        QTest::addColumn<QString>("writer");
        QTest::newRow("bmp") << "bmp";
        QTest::newRow("gif") << "gif";
        QTest::newRow("jpg") << "jpg";
    }
    // A missing source, or a folder where nothing can be written: false, and the file
    // that was at the destination is untouched.
    void failedWritesKeepTheOldFile() {
        QFETCH(QString, writer);
        const auto write = [&](const QString& from, const QString& to) {
            if (writer == u"bmp") return CopyFileAtomically(from, to);
            if (writer == u"gif") return WriteGifFromBitmap(from, to);
            JpgBuffer buffer;
            auto library = MakeTurboImagingLibrary();
            const bool ok =
                WriteJpgFromBitmap(*library, buffer, from, to, 85, 0) == JpgSaveResult::Written;
            if (buffer.JpgImage) library->GlobalFree(buffer.JpgImage);
            return ok;
        };
        const QString source = Bitmap("source.bmp", FewColours(20, 10));
        const QString locked = Path("locked-" + writer);
        QVERIFY(QDir().mkpath(locked));
        const QString old = locked + "/out." + writer;
        QVERIFY(WriteBytes(old, "the old file"));
        QVERIFY(!write(Path("missing.bmp"), old));
        QCOMPARE(FileBytes(old), QByteArray("the old file"));
        LockedFolder lock(locked);
        if (!lock.Usable()) QSKIP("no way to lock a folder here");
        QVERIFY(!write(source, old));
        QCOMPARE(FileBytes(old), QByteArray("the old file"));
    }

    void pngEqualsThePicture_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("name");
        QTest::newRow("few colours") << FewColours(61, 33) << "few.png";
        QTest::newRow("rich colours, capitals") << RichColours(64, 48) << "RICH.PNG";
        QTest::newRow("one pixel") << FewColours(1, 1) << "one.png";
        // Palette rows packed to 1, 2, 4 and 8 bits, widths that end mid-byte.
        QTest::newRow("2 colours") << NColours(2, 13, 5) << "c2.png";
        QTest::newRow("4 colours") << NColours(4, 11, 6) << "c4.png";
        QTest::newRow("16 colours") << NColours(16, 33, 9) << "c16.png";
        QTest::newRow("17 colours") << NColours(17, 35, 9) << "c17.png";
        QTest::newRow("256 colours") << NColours(256, 64, 20) << "c256.png";
        QTest::newRow("page of text") << PageOfText() << "page.png";
    }
    void pngEqualsThePicture() {
        QFETCH(QImage, picture);
        QFETCH(QString, name);
        cGdiPlus writer;
        QVERIFY(writer.PictureBoxToFile(picture, Path(name), 85));
        QVERIFY(SamePixels(Decode(Path(name), "png"), picture));
    }

    void gifColours_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<double>("minPsnr");
        QTest::newRow("few colours") << FewColours(50, 40) << true << 99.0;
        QImage exactly256(16, 16, QImage::Format_RGB32);
        for (int i = 0; i < 256; ++i) exactly256.setPixel(i % 16, i / 16, qRgb(i, 255 - i, i / 2));
        QTest::newRow("exactly 256 colours") << exactly256 << true << 99.0;
        QImage plusOne = exactly256.copy(0, 0, 17, 16);
        plusOne.setPixel(16, 0, qRgb(1, 2, 3));
        QTest::newRow("257 colours") << plusOne << false << 30.0;
        QTest::newRow("gradients") << RichColours(200, 150) << false << 30.0;
        QTest::newRow("page of text") << PageOfText() << false << 30.0;
        QTest::newRow("noise") << NoisyColours(64, 64) << false << 10.0;
    }
    void gifColours() {
        QFETCH(QImage, picture);
        QFETCH(bool, exact);
        QFETCH(double, minPsnr);
        // The quantiser's rows must really need it.
        QCOMPARE(ColourCount(picture) > 256, !exact);
        const QString source = Bitmap("gif-source.bmp", picture);
        QVERIFY(WriteGifFromBitmap(source, Path("out.gif")));
        QVERIFY(FileBytes(Path("out.gif")).startsWith("GIF89a"));
        const QImage decoded = Decode(Path("out.gif"), "gif");
        QCOMPARE(decoded.size(), picture.size());
        QVERIFY(ColourCount(decoded) <= 256);
        QCOMPARE(SamePixels(decoded, picture), exact);
        QVERIFY2(Psnr(decoded, picture) >= minPsnr,
                 qPrintable(QString::number(Psnr(decoded, picture))));
    }

    void jpegCloseAndOfItsKind_data() {
        QTest::addColumn<int>("progressive");
        QTest::addColumn<int>("marker");
        QTest::addColumn<QByteArray>("bitmap");
        const QString source = Bitmap("jpg-source.bmp", RichColours(301, 203));
        const QByteArray bottomUp = FileBytes(source);
        QTest::newRow("baseline") << 0 << 0xC0 << bottomUp;
        QTest::newRow("progressive") << 1 << 0xC2 << bottomUp;
        QTest::newRow("top-down bitmap") << 0 << 0xC0 << TopDown(bottomUp);
    }
    void jpegCloseAndOfItsKind() {
        QFETCH(int, progressive);
        QFETCH(int, marker);
        QFETCH(QByteArray, bitmap);
        QVERIFY(WriteBytes(Path("jpg-in.bmp"), bitmap));
        auto library = MakeTurboImagingLibrary();
        JpgBuffer buffer;
        QCOMPARE(WriteJpgFromBitmap(*library, buffer, Path("jpg-in.bmp"), Path("out.jpg"), 85,
                                    progressive),
                 JpgSaveResult::Written);
        QCOMPARE(buffer.JpgWidth, 301);
        QCOMPARE(buffer.JpgHeight, 203);
        library->GlobalFree(buffer.JpgImage);
        QCOMPARE(StartOfFrame(FileBytes(Path("out.jpg"))), marker);
        const QImage decoded = Decode(Path("out.jpg"), "jpeg");
        QCOMPARE(decoded.size(), QSize(301, 203));
        const double psnr = Psnr(decoded, RichColours(301, 203));
        QVERIFY2(psnr > 30, qPrintable(QString::number(psnr)));
    }

    void jpegQualityAtTheEnds() {
        const QString source = Bitmap("q-source.bmp", RichColours(120, 80));
        auto library = MakeTurboImagingLibrary();
        qint64 sizes[2] = {};
        double psnr[2] = {};
        for (int q : {0, 100}) {
            JpgBuffer buffer;
            const QString out = Path(QStringLiteral("q%1.jpg").arg(q));
            QCOMPARE(WriteJpgFromBitmap(*library, buffer, source, out, q, 0),
                     JpgSaveResult::Written);
            library->GlobalFree(buffer.JpgImage);
            sizes[q / 100] = QFileInfo(out).size();
            psnr[q / 100] = Psnr(Decode(out, "jpeg"), RichColours(120, 80));
        }
        QVERIFY(sizes[0] < sizes[1]);
        QVERIFY2(psnr[1] > psnr[0] + 10,
                 qPrintable(QStringLiteral("%1 %2").arg(psnr[0]).arg(psnr[1])));
    }

    // A file that opens but holds no readable bitmap gives no JPEG at all.
    void unreadableBitmapIsAFailedWrite_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a bitmap") << QByteArray("plain text, no picture here");
        QByteArray cut = FileBytes(Bitmap("whole.bmp", FewColours(30, 30)));
        cut.truncate(40);
        QTest::newRow("cut short") << cut;
    }
    void unreadableBitmapIsAFailedWrite() {
        QFETCH(QByteArray, content);
        QVERIFY(WriteBytes(Path("bad.bmp"), content));
        QVERIFY(WriteBytes(Path("kept.jpg"), "old jpeg"));
        auto library = MakeTurboImagingLibrary();
        JpgBuffer buffer;
        const JpgSaveResult result =
            WriteJpgFromBitmap(*library, buffer, Path("bad.bmp"), Path("kept.jpg"), 85, 0);
        QCOMPARE(result, JpgSaveResult::WriteFailed);
        QCOMPARE(buffer.JpgImage, ISHandle{0});
        QCOMPARE(FileBytes(Path("kept.jpg")), QByteArray("old jpeg"));
        QCOMPARE(MessageFor(result)->text, QStringLiteral("There was an error saving this file."));
    }

    // The library's own guard: a write that fails after the destination was opened
    // leaves the old file.
    void libraryWriteFailureKeepsOldFile() {
        const QString source = Bitmap("lib-source.bmp", FewColours(10, 10));
        QVERIFY(WriteBytes(Path("lib.jpg"), "old jpeg"));
        auto library = MakeTurboImagingLibrary();
        const ISHandle src = library->ISOpenFileSource(source);
        int w = 0, h = 0;
        const ISHandle image = library->ISReadBMP(src, w, h, 24, 0);
        library->ISCloseSource(src);
        const ISHandle dest = library->ISOpenFileDest(Path("lib.jpg"));
        QVERIFY(dest != 0);
        QCOMPARE(library->ISWriteJPG(dest, image, w + 1, h, 85, 0, 24, 0), 0);
        QCOMPARE(library->ISCloseDest(dest), 0);
        QCOMPARE(FileBytes(Path("lib.jpg")), QByteArray("old jpeg"));
        library->GlobalFree(image);
    }

    void jpgSaveSteps_data() {
        QTest::addColumn<bool>("sourceOk");
        QTest::addColumn<bool>("readOk");
        QTest::addColumn<bool>("destOk");
        QTest::addColumn<int>("writeResult");
        QTest::addColumn<int>("closeResult");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<JpgSaveResult>("result");
        const QString open = "OpenFileSource /p/cropped.bmp";
        const QString read = "ReadBMP 1 24 0";
        const QString close = "CloseSource 1";
        const QString dest = "OpenFileDest /s/out.jpg";
        const QString write = "WriteJPG 2 101 40x30 q73 p1 24 0";
        QTest::newRow("written")
            << true << true << true << 1234 << 1
            << QStringList{open, read, close, dest, "ClearJPGOutputText", write, "CloseDest 2"}
            << JpgSaveResult::Written;
        QTest::newRow("no source")
            << false << true << true << 1 << 1 << QStringList{open} << JpgSaveResult::NoSource;
        QTest::newRow("unreadable bitmap")
            << true << false << true << 1 << 1 << QStringList{open, read, close}
            << JpgSaveResult::WriteFailed;
        QTest::newRow("cannot create")
            << true << true << false << 1 << 1 << QStringList{open, read, close, dest}
            << JpgSaveResult::CannotCreate;
        QTest::newRow("write fails")
            << true << true << true << 0 << 1
            << QStringList{open, read, close, dest, "ClearJPGOutputText", write, "CloseDest 2"}
            << JpgSaveResult::WriteFailed;
        QTest::newRow("negative count")
            << true << true << true << -5 << 1
            << QStringList{open, read, close, dest, "ClearJPGOutputText", write, "CloseDest 2"}
            << JpgSaveResult::WriteFailed;
        QTest::newRow("cannot finish")
            << true << true << true << 99 << 0
            << QStringList{open, read, close, dest, "ClearJPGOutputText", write, "CloseDest 2"}
            << JpgSaveResult::WriteFailed;
    }
    void jpgSaveSteps() {
        QFETCH(bool, sourceOk);
        QFETCH(bool, readOk);
        QFETCH(bool, destOk);
        QFETCH(int, writeResult);
        QFETCH(int, closeResult);
        QFETCH(QStringList, calls);
        QFETCH(JpgSaveResult, result);
        RecordingLibrary library;
        library.sourceOk = sourceOk;
        library.readOk = readOk;
        library.destOk = destOk;
        library.writeResult = writeResult;
        library.closeResult = closeResult;
        JpgBuffer buffer;
        QCOMPARE(WriteJpgFromBitmap(library, buffer, "/p/cropped.bmp", "/s/out.jpg", 73, 1),
                 result);
        QCOMPARE(library.calls, calls);
    }

    void bufferReleasedOnceAtTheNextSave() {
        RecordingLibrary library;
        JpgBuffer buffer;
        WriteJpgFromBitmap(library, buffer, "/p/c.bmp", "/s/a.jpg", 50, 0);
        QCOMPARE(buffer.JpgImage, ISHandle{101});
        library.calls.clear();
        library.sourceOk = false;
        WriteJpgFromBitmap(library, buffer, "/p/c.bmp", "/s/a.jpg", 50, 0);
        QCOMPARE(library.calls, (QStringList{"GlobalFree 101", "OpenFileSource /p/c.bmp"}));
        QCOMPARE(buffer.JpgImage, ISHandle{0});
        library.calls.clear();
        WriteJpgFromBitmap(library, buffer, "/p/c.bmp", "/s/a.jpg", 50, 0);
        QCOMPARE(library.calls, QStringList{"OpenFileSource /p/c.bmp"});
    }

    void messages_data() {
        QTest::addColumn<JpgSaveResult>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title");
        QTest::newRow("cannot create")
            << JpgSaveResult::CannotCreate << "Unable to create the file." << 16
            << "ISOpenFileDest Failed";
        QTest::newRow("write failed")
            << JpgSaveResult::WriteFailed << "There was an error saving this file." << 64
            << "ISWriteJPG Failed";
        QTest::newRow("written") << JpgSaveResult::Written << "" << 0 << "";
        QTest::newRow("no source") << JpgSaveResult::NoSource << "" << 0 << "";
    }
    void messages() {
        QFETCH(JpgSaveResult, result);
        QFETCH(QString, text);
        QFETCH(int, style);
        QFETCH(QString, title);
        const auto message = MessageFor(result);
        QCOMPARE(message.has_value(), !text.isEmpty());
        if (!message) return;
        QCOMPARE(message->text, text);
        QCOMPARE(message->style, style);
        QCOMPARE(message->title, title);
    }
};

QTEST_MAIN(ExportWritersTest)
#include "export_writers_test.moc"
