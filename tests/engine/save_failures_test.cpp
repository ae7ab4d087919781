// Saves that cannot be made as usual: the in-place fallback of the file writer, the
// reason a failed save gives, and the reading of the picture every save writes.
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "engine/save_outcome.h"
#include "engine/settings_files.h"
#include "files/program_folder.h"
#include "files/replace_file.h"
#include "formats/bitmap_file.h"
#include "support/export_test_support.h"

using namespace exporttest;

namespace {

bool Write(const QString& path, const QByteArray& bytes, bool fail = false) {
    ReplaceFile file(path);
    if (!file.open()) return false;
    file.device().write(bytes);
    if (fail) {
        file.cancel();
        return false;
    }
    return file.commit();
}

}  // namespace

class SaveFailuresTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

  private Q_SLOTS:
    // Where the folder allows it the write is atomic: a cancelled one, or one dropped
    // half way, leaves the old file and nothing beside it; where it takes no new file, an
    // existing file the user keeps is still rewritten, a capture's scratch file is not.
    void replaceFile_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("scratch");
        QTest::addColumn<bool>("lockFolder");
        QTest::addColumn<bool>("lockFile");
        QTest::addColumn<QString>("ending");  // commit, cancel or drop (neither)
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("direct");
        QTest::addColumn<QByteArray>("left");  // what the file holds afterwards
        const QByteArray fresh("new picture"), old("old");
        for (const bool scratch : {false, true}) {
            const QString kind = scratch ? QStringLiteral(", scratch") : QString();
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(QLatin1String(name) + kind));
            };
            row("open folder") << "open" + kind << scratch << false << false << "commit" << true
                               << false << fresh;
            row("open folder, cancelled") << "open-cancel" + kind << scratch << false << false
                                          << "cancel" << false << false << old;
            row("open folder, dropped") << "open-drop" + kind << scratch << false << false << "drop"
                                        << false << false << old;
            row("no new file allowed") << "locked" + kind << scratch << true << false << "commit"
                                       << !scratch << !scratch << (scratch ? old : fresh);
            row("no new file, file locked too")
                << "both" + kind << scratch << true << true << "commit" << false << false << old;
        }
    }
    void replaceFile() {
        QFETCH(QString, folder);
        QFETCH(bool, scratch);
        QFETCH(bool, lockFolder);
        QFETCH(bool, lockFile);
        QFETCH(QString, ending);
        QFETCH(bool, written);
        QFETCH(bool, direct);
        QFETCH(QByteArray, left);
        const QString target = Path(folder) + "/picture.bmp";
        QVERIFY(QDir().mkpath(Path(folder)) && WriteBytes(target, "old"));
        std::optional<ImmutableFile> fileLock;
        if (lockFile) fileLock.emplace(target);
        std::optional<LockedFolder> folderLock;
        if (lockFolder) folderLock.emplace(Path(folder));
        if ((folderLock && !folderLock->Usable()) || (fileLock && !fileLock->Usable()))
            QSKIP("no way to lock a folder or file here");

        {
            ReplaceFile file(target,
                             scratch ? ReplaceFile::Kind::Scratch : ReplaceFile::Kind::Kept);
            const bool opened = file.open();
            QCOMPARE(opened, written || ending != "commit");
            if (!opened) QVERIFY(!file.reason().isEmpty());
            if (opened) {
                QCOMPARE(file.direct(), direct);
                file.device().write("new picture");
                if (ending == "cancel") file.cancel();
                if (ending == "commit") QCOMPARE(file.commit(), written);
            }
        }
        QCOMPARE(FileBytes(target), left);
        // Nothing is left beside the file.
        QCOMPARE(QDir(Path(folder)).entryList(QDir::Files), QStringList{"picture.bmp"});
    }

    void newFileInRefusingFolderFails() {
        const QString folder = Path("refusing");
        QVERIFY(QDir().mkpath(folder));
        LockedFolder lock(folder);
        if (!lock.Usable()) QSKIP("no way to lock a folder here");
        QVERIFY(!Write(folder + "/new.png", "x"));
        QVERIFY(!QFile::exists(folder + "/new.png"));
    }

    // A buffer that cannot be flushed at the end is a failed write, not an empty file
    // in the old one's place.
    void fullDiskKeepsTheOldFile_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("less than a buffer") << 6000;
        QTest::newRow("many buffers") << 200 * 1000;
    }
    void fullDiskKeepsTheOldFile() {
        QFETCH(int, size);
        const QString folder = Path(QStringLiteral("full-%1").arg(size));
        QVERIFY(QDir().mkpath(folder));
        FullDisk disk(folder);
        if (!disk.Usable()) QSKIP("no way to mount a small file system here");
        QVERIFY(WriteBytes(folder + "/kept.png", "old picture"));
        disk.Fill();
        QVERIFY(!Write(folder + "/kept.png", QByteArray(size, 'n')));
        QCOMPARE(FileBytes(folder + "/kept.png"), QByteArray("old picture"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"filler", "kept.png"}));
    }

    // The program's own files on a full disk: the settings and cropped.bmp are kept
    // as they were, and the writer says it failed, however little it had to write.
    void fullProgramFolderKeepsItsFiles_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("side");  // of the square cropped.bmp
        QTest::newRow("url.txt") << "url.txt" << 0;
        QTest::newRow("rows.txt") << "rows.txt" << 0;
        QTest::newRow("barpos.txt") << "barpos.txt" << 0;
        QTest::newRow("small cropped.bmp") << "cropped.bmp" << 20;
        QTest::newRow("cropped.bmp of many buffers") << "cropped.bmp" << 300;
    }
    void fullProgramFolderKeepsItsFiles() {
        QFETCH(QString, file);
        QFETCH(int, side);
        const QString folder =
            Path("program-" + QString(QTest::currentDataTag()).replace(' ', '-'));
        QVERIFY(QDir().mkpath(folder));
        FullDisk disk(folder);
        if (!disk.Usable()) QSKIP("no way to mount a small file system here");
        SetAppPathOverride(folder);
        const auto restore = qScopeGuard([this] { SetAppPathOverride(dir_.path()); });
        const QString path = AppFile(file);
        const QImage oldPicture = NColours(5, 9, 4);
        if (side) {
            QVERIFY(SavePicture(oldPicture, path));
        } else {
            QVERIFY(WriteBytes(path, "old 1\r\n2\r\n3\r\n4\r\n"));
        }
        const QByteArray before = FileBytes(path);
        disk.Fill();

        Outcome written = Outcome::Done();
        if (file == "url.txt") written = WriteSettingLine(UrlFilePath(), "http://example.test/new");
        if (file == "rows.txt") written = WriteSettingLine(RowsFilePath(), "4.5");
        if (file == "barpos.txt") written = WriteBarPositions({120, 480, 60, 900});
        if (side) written = SavePicture(NColours(200, side, side), path);
        QVERIFY(!written);
        QVERIFY(!written.reason.isEmpty());
        QCOMPARE(FileBytes(path), before);
        if (side) {
            const auto kept = LoadPicture(path);
            QVERIFY(kept && SamePixels(*kept, oldPicture));
        }
        // No temporary file is left behind to fill the disk further.
        QStringList expected{file, "filler"};
        expected.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files), expected);
    }

    void failureReason_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder")
            << "gone/out.bmp"
            << ""
            << "the folder " + QDir::toNativeSeparators(Path("gone")) + " does not exist";
        QTest::newRow("folder in the way") << "in-the-way.png"
                                           << "dir"
                                           << "a folder of that name is in the way";
        QTest::newRow("no new files") << "closed/out.gif"
                                      << "lock folder"
                                      << "the folder " + QDir::toNativeSeparators(Path("closed")) +
                                             " does not allow new files";
        QTest::newRow("write-protected file") << "guarded.bmp"
                                              << "lock file"
                                              << "the file is write-protected";
        QTest::newRow("full disk") << "full/out.png"
                                   << "full"
                                   << "the disk is full";
        QTest::newRow("nothing to see") << "plain.bmp"
                                        << ""
                                        << "the file could not be written";
    }
    void failureReason() {
        QFETCH(QString, target);
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        const QString path = Path(target);
        std::optional<LockedFolder> folderLock;
        std::optional<ImmutableFile> fileLock;
        if (setup == "dir") QVERIFY(QDir().mkpath(path));
        if (setup == "lock folder") {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            folderLock.emplace(QFileInfo(path).absolutePath());
            if (!folderLock->Usable()) QSKIP("no way to lock a folder here");
        }
        std::optional<FullDisk> full;
        if (setup == "full") {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            full.emplace(QFileInfo(path).absolutePath());
            if (!full->Usable()) QSKIP("no way to mount a small file system here");
            full->Fill();
            QVERIFY(!Write(path, QByteArray(64 * 1024, 'p')));
        }
        if (setup == "lock file") {
            QVERIFY(WriteBytes(path, "kept"));
            fileLock.emplace(path);
            if (!fileLock->Usable()) QSKIP("no way to lock a file here");
        }
        QCOMPARE(WriteFailureReason(path), reason);
        QCOMPARE(NotSavedText(path, reason),
                 QDir::toNativeSeparators(path) + " was not saved: " + reason + ".");
    }

    void saveSource_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing" << int(SaveSource::State::Nothing) << "";
        QTest::newRow("bitmap") << "bitmap" << int(SaveSource::State::Ready) << "";
        // The reasons are the bitmap reader's own. 23 x 11 at 24 bits: 54 + 11 * 72 bytes.
        QTest::newRow("cut short")
            << "truncated" << int(SaveSource::State::Unreadable) << "truncated: 423 of 846 bytes";
        QTest::newRow("not a bitmap")
            << "text" << int(SaveSource::State::Unreadable) << "not a bitmap file";
        QTest::newRow("lying header") << "huge header" << int(SaveSource::State::Unreadable)
                                      << "picture of 100000 x 11 is larger than any Glimpa makes";
        QTest::newRow("a folder") << "folder" << int(SaveSource::State::Unreadable)
                                  << "not a regular file";
        QTest::newRow("a fifo") << "fifo" << int(SaveSource::State::Unreadable)
                                << "not a regular file";
        QTest::newRow("a character device")
            << "device" << int(SaveSource::State::Unreadable) << "not a regular file";
    }
    void saveSource() {
        QFETCH(QString, kind);
        QFETCH(int, state);
        QFETCH(QString, reason);
        const QImage picture = NColours(7, 23, 11);
        const QString path = Path("source-" + kind + ".bmp");
        if (kind == "bitmap" || kind == "truncated" || kind == "huge header")
            QVERIFY(SavePicture(picture, path));
        if (kind == "truncated") QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
        if (kind == "huge header") {
            QByteArray bytes = FileBytes(path);
            qToLittleEndian<qint32>(100000, bytes.data() + 18);  // the width
            QVERIFY(WriteBytes(path, bytes));
        }
        if (kind == "text") QVERIFY(WriteBytes(path, "not a picture at all"));
        if (kind == "folder") QVERIFY(QDir().mkpath(path));
        if (kind == "fifo") QCOMPARE(QProcess::execute("mkfifo", {path}), 0);
        if (kind == "device") QVERIFY(QFile::link("/dev/zero", path));
        const SaveSource source = ReadSaveSource(path);
        QCOMPARE(int(source.state), state);
        QCOMPARE(source.reason, reason);
        if (source.state == SaveSource::State::Ready) QVERIFY(SamePixels(source.picture, picture));
    }
};

QTEST_GUILESS_MAIN(SaveFailuresTest)
#include "save_failures_test.moc"
