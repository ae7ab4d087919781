// The Save As dispatch and the PNG writer's encoder table, without windows.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "export/cgdiplus.h"
#include "export/save_as_dispatch.h"
#include "export_fakes.h"
#include "export_pictures.h"

using exporttest::RecordingEncoders;

Q_DECLARE_METATYPE(SaveWriter)

namespace {

gdi::ImageCodecInfo Codec(const char* clsid, const char* patterns) {
    return gdi::ImageCodecInfo{
        QUuid::fromString(QLatin1StringView(clsid)), {}, {}, QString::fromLatin1(patterns), {}};
}

const char* const kBmpId = "{557cf400-1a04-11d3-9a73-0000f81ef32e}";
const char* const kJpgId = "{557cf401-1a04-11d3-9a73-0000f81ef32e}";
const char* const kPngId = "{557cf406-1a04-11d3-9a73-0000f81ef32e}";

// The platform's usual three encoders, patterns as it lists them.
void UsualEncoders(RecordingEncoders& service) {
    service.encoders = {Codec(kBmpId, "*.BMP;*.DIB;*.RLE"),
                        Codec(kJpgId, "*.JPG;*.JPEG;*.JPE;*.JFIF"), Codec(kPngId, "*.PNG ")};
}

}  // namespace

class ExportEncoderTableTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void dispatch_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<SaveWriter>("writer");
        QTest::newRow("bitmap") << "/home/u/shot.bmp" << SaveWriter::Bmp;
        QTest::newRow("bitmap in capitals") << "/home/u/SHOT.BMP" << SaveWriter::Bmp;
        QTest::newRow("jpg, backslashes") << "C:\\pics\\a.Jpg" << SaveWriter::Jpg;
        QTest::newRow("gif") << "/x/a.gif" << SaveWriter::Gif;
        QTest::newRow("png mixed case, relative") << "relative.PnG" << SaveWriter::Png;
        QTest::newRow("name is only the ending") << "/x/.png" << SaveWriter::Png;
        QTest::newRow("jpeg") << "/x/a.jpeg" << SaveWriter::None;
        QTest::newRow("tif") << "/x/a.tif" << SaveWriter::None;
        QTest::newRow("no extension") << "/x/newimage" << SaveWriter::None;
        QTest::newRow("short name") << "/x/png" << SaveWriter::None;
        QTest::newRow("dot in folder") << "/x/my.folder/picture" << SaveWriter::None;
        QTest::newRow("folder named like a png") << "/x/shots.png/pic" << SaveWriter::None;
        QTest::newRow("windows folder named like a gif") << "C:\\my.gif\\pic" << SaveWriter::None;
        QTest::newRow("ending then more") << "/x/a.bmp.txt" << SaveWriter::None;
    }
    void dispatch() {
        QFETCH(QString, path);
        QFETCH(SaveWriter, writer);
        QCOMPARE(WriterForName(path), writer);
    }

    void filterListsFourTypesBitmapFirst() {
        const QStringList parts = QString::fromUtf16(kSaveAsFilter).split(u'|');
        QCOMPARE(parts.size(), 8);
        QCOMPARE(parts[0], QStringLiteral("Windows Bitmap file (*.bmp)"));
        QCOMPARE(parts[1], QStringLiteral("*.bmp"));
        QCOMPARE(parts[4], QStringLiteral("Graphic Interchange Format file - 256 cols. (*.gif)"));
        QCOMPARE(parts[7], QStringLiteral("*.png"));
    }

    void fileExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("extension");
        QTest::newRow("png") << "C:\\a\\shot.png"
                             << "png";
        QTest::newRow("capitals kept") << "/a/shot.PNG"
                                       << "PNG";
        QTest::newRow("two dots") << "/a/b.tar.gz"
                                  << "gz";
        QTest::newRow("no dot") << "/a/noext"
                                << "";
        QTest::newRow("backslash after dot") << "C:\\my.dir\\noext"
                                             << "";
        QTest::newRow("slash after dot") << "/my.dir/noext"
                                         << "";
        QTest::newRow("trailing dot") << "/a/trailing."
                                      << "";
    }
    void fileExtension() {
        QFETCH(QString, path);
        QFETCH(QString, extension);
        QCOMPARE(cGdiPlus::FileExtension(path), extension);
    }

    void gdiErrorString_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "Unknown GDI+ Error";
        QTest::newRow("21") << 21 << "Unknown GDI+ Error";
        QTest::newRow("-1") << -1 << "Unknown GDI+ Error";
        QTest::newRow("min") << std::numeric_limits<int>::min() << "Unknown GDI+ Error";
        QTest::newRow("1") << 1 << "Generic Error";
        QTest::newRow("7") << 7 << "Win32 Error";
        QTest::newRow("12") << 12 << "Access Denied";
        QTest::newRow("14") << 14 << "FontFamily Not Found";
        QTest::newRow("17") << 17 << "Unsupported Gdiplus Version";
        QTest::newRow("20") << 20 << "Property Not Supported";
    }
    void gdiErrorString() {
        QFETCH(int, status);
        QFETCH(QString, text);
        QCOMPARE(cGdiPlus::GdiErrorString(status), text);
    }

    void qtEncoderLookup_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("found");
        QTest::newRow("png") << "*.png" << true;
        QTest::newRow("PNG") << "*.PNG" << true;
        QTest::newRow("Png") << "*.Png" << true;
        QTest::newRow("jpg") << "*.jpg" << true;
        QTest::newRow("JPEG") << "*.JPEG" << true;
        QTest::newRow("bmp") << "*.bmp" << true;
        QTest::newRow("no extension") << "*." << false;
        QTest::newRow("unknown") << "*.xyz" << false;
        QTest::newRow("bare extension") << "png" << false;
    }
    void qtEncoderLookup() {
        QFETCH(QString, pattern);
        QFETCH(bool, found);
        cGdiPlus writer;
        QCOMPARE(writer.EncoderIndex(pattern) >= 0, found);
    }

    void jpgAndJpegShareAnEncoder() {
        cGdiPlus writer;
        QCOMPARE(writer.EncoderIndex(QStringLiteral("*.jpg")),
                 writer.EncoderIndex(QStringLiteral("*.jpeg")));
        QVERIFY(writer.EncoderIndex(QStringLiteral("*.jpg")) !=
                writer.EncoderIndex(QStringLiteral("*.png")));
    }

    void unknownExtensionWritesNothingSilently_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown") << "out.xyz";
        QTest::newRow("no extension") << "noext";
        QTest::newRow("dot in folder") << "dir.png/noext";
    }
    void unknownExtensionWritesNothingSilently() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dir.png")));
        cGdiPlus writer;
        QSignalSpy errors(&writer, &cGdiPlus::Error);
        const QString path = dir.filePath(name);
        QVERIFY(!writer.PictureBoxToFile(exporttest::FewColours(8, 8), path, 85));
        QCOMPARE(errors.count(), 0);
        QVERIFY(!QFile::exists(path));
    }

    void encoderChosenByExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("clsid");
        QTest::addColumn<bool>("quality");
        QTest::newRow("png capitals") << "/o/shot.PNG" << kPngId << false;
        QTest::newRow("png, last pattern trimmed") << "/o/shot.png" << kPngId << false;
        QTest::newRow("jpg") << "/o/shot.jpg" << kJpgId << true;
        QTest::newRow("jfif") << "/o/shot.JFIF" << kJpgId << true;
        QTest::newRow("dib") << "/o/shot.dib" << kBmpId << false;
    }
    void encoderChosenByExtension() {
        QFETCH(QString, path);
        QFETCH(QString, clsid);
        QFETCH(bool, quality);
        RecordingEncoders service;
        UsualEncoders(service);
        cGdiPlus writer(service);
        QVERIFY(writer.PictureBoxToFile(exporttest::FewColours(4, 4), path, 85));
        QCOMPARE(service.saves.size(), size_t{1});
        const auto& save = service.saves[0];
        QCOMPARE(save.path, path);
        QCOMPARE(save.clsid, QUuid::fromString(clsid));
        QCOMPARE(save.hasParameters, quality);
        if (quality) {
            QCOMPARE(save.parameters.size(), size_t{1});
            QCOMPARE(save.parameters[0].Guid,
                     QUuid::fromString(u"{1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}"));
            QCOMPARE(save.parameters[0].Type, 4);
            QCOMPARE(save.parameters[0].NumberOfValues, 1);
            QCOMPARE(save.parameters[0].Value, 85);
        }
    }

    void savesShareOneStartupAndTable() {
        RecordingEncoders service;
        UsualEncoders(service);
        {
            cGdiPlus writer(service);
            QVERIFY(writer.PictureBoxToFile(exporttest::FewColours(4, 4), "/o/a.png", 85));
            QVERIFY(writer.PictureBoxToFile(exporttest::FewColours(4, 4), "/o/b.png", 85));
            QCOMPARE(service.startups, 1);
            QCOMPARE(service.enumerations, 1);
            QCOMPARE(service.shutdowns, 0);
        }
        QCOMPARE(service.shutdowns, 1);
        QCOMPARE(service.shutdownToken, std::uintptr_t{77});
    }

    void failedServiceCallRaisesError_data() {
        QTest::addColumn<int>("bitmapStatus");
        QTest::addColumn<int>("saveStatus");
        QTest::addColumn<int>("raised");
        QTest::newRow("save denied") << 0 << 12 << 12;
        QTest::newRow("no bitmap") << 2 << 0 << 2;
        QTest::newRow("odd status") << 0 << -3 << -3;
    }
    void failedServiceCallRaisesError() {
        QFETCH(int, bitmapStatus);
        QFETCH(int, saveStatus);
        QFETCH(int, raised);
        RecordingEncoders service;
        UsualEncoders(service);
        service.bitmapStatus = bitmapStatus;
        service.saveStatus = saveStatus;
        cGdiPlus writer(service);
        QSignalSpy errors(&writer, &cGdiPlus::Error);
        QVERIFY(!writer.PictureBoxToFile(exporttest::FewColours(4, 4), "/o/a.png", 85));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toInt(), raised);
        QCOMPARE(errors[0][1].toString(), cGdiPlus::GdiErrorString(raised));
        QCOMPARE(service.saves.size(), size_t(bitmapStatus == 0 ? 1 : 0));
    }

    void brokenStartLeavesNoEncoders_data() {
        QTest::addColumn<int>("startup");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("shutdowns");
        QTest::newRow("start-up fails") << 18 << 0 << 0 << 0;
        QTest::newRow("count fails") << 0 << 3 << 0 << 1;
        QTest::newRow("list fails") << 0 << 0 << 5 << 1;
    }
    void brokenStartLeavesNoEncoders() {
        QFETCH(int, startup);
        QFETCH(int, size);
        QFETCH(int, list);
        QFETCH(int, shutdowns);
        RecordingEncoders service;
        UsualEncoders(service);
        service.startupStatus = startup;
        service.sizeStatus = size;
        service.listStatus = list;
        {
            cGdiPlus writer(service);
            QSignalSpy errors(&writer, &cGdiPlus::Error);
            QCOMPARE(writer.EncoderIndex(QStringLiteral("*.png")), -1);
            QVERIFY(!writer.PictureBoxToFile(exporttest::FewColours(4, 4), "/o/a.png", 85));
            QCOMPARE(errors.count(), 0);
            QVERIFY(service.saves.empty());
        }
        QCOMPARE(service.shutdowns, shutdowns);
    }

    // The Qt service itself: a missing folder and a locked folder are reported, and
    // what was there before stays.
    void qtServiceReportsWriteFailures() {
        QTemporaryDir dir;
        cGdiPlus writer;
        QSignalSpy errors(&writer, &cGdiPlus::Error);
        QVERIFY(!writer.PictureBoxToFile(exporttest::FewColours(4, 4),
                                         dir.filePath(QStringLiteral("none/a.png")), 85));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][1].toString(), QStringLiteral("File Not Found"));

        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        const QString old = locked + QStringLiteral("/a.png");
        QVERIFY(exporttest::WriteBytes(old, "old picture"));
        exporttest::LockedFolder lock(locked);
        if (!lock.Usable()) QSKIP("no way to lock a folder here");
        QVERIFY(!writer.PictureBoxToFile(exporttest::FewColours(4, 4), old, 85));
        QCOMPARE(errors.count(), 2);
        QVERIFY(errors[1][0].toInt() != 0);
        QCOMPARE(exporttest::FileBytes(old), QByteArray("old picture"));
    }
};

QTEST_MAIN(ExportEncoderTableTest)
#include "export_encoder_table_test.moc"
