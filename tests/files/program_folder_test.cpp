// Where the program keeps its files and finds its help, on folders laid out like a build
// folder or an install.
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "files/program_folder.h"
#include "files/single_instance.h"

class ProgramFolderTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;

    QString At(const QString& relative) { return QDir::cleanPath(root_.path() + "/" + relative); }

  private Q_SLOTS:
    // A running Glimpa's lock is never taken over for its age, however long the run:
    // only a lock whose owner is gone is.
    void liveLockIsNeverStale_data() {
        QTest::addColumn<int>("ageSeconds");
        QTest::newRow("just made") << 0;
        QTest::newRow("a minute old") << 60;
        QTest::newRow("three days old") << 3 * 24 * 3600;
    }
    void liveLockIsNeverStale() {
        QFETCH(int, ageSeconds);
        QTemporaryDir folder;
        // The lock of a live Glimpa as it stands on disk (this process plays the owner),
        // with no lock held on the file itself, as after the owner's file handle closed.
        QByteArray owner;
        {
            ProgramFolderLock first(folder.path());
            QVERIFY(first.TryLock());
            QFile held(first.LockFilePath());
            QVERIFY(held.open(QIODevice::ReadOnly));
            owner = held.readAll();
        }
        ProgramFolderLock second(folder.path());
        QFile lockFile(second.LockFilePath());
        QVERIFY(lockFile.open(QIODevice::WriteOnly) && lockFile.write(owner) == owner.size());
        QVERIFY(lockFile.flush());  // a later write would make the file new again
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                     QFileDevice::FileModificationTime));
        lockFile.close();
        QVERIFY(!second.TryLock());
    }

    void choice_data() {
        QTest::addColumn<QString>("case_");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("exe");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("inDataFolder");
        QTest::addColumn<QString>("help");

        QTest::newRow("build folder, help copied beside")
            << "build" << QStringList{"build/help"} << QStringList{} << "build" << true << false
            << false << "build/help";
        QTest::newRow("installed, writable prefix")
            << "prefix" << QStringList{"prefix/bin", "prefix/share/glimpa/help"} << QStringList{}
            << "prefix/bin" << true << true << true << "prefix/share/glimpa/help";
        QTest::newRow("installed, read-only bin")
            << "usr" << QStringList{"usr/bin", "usr/share/glimpa/help"} << QStringList{}
            << "usr/bin" << false << true << true << "usr/share/glimpa/help";
        QTest::newRow("help beside and under share: the one beside wins")
            << "both" << QStringList{"both/bin/help", "both/share/glimpa/help"} << QStringList{}
            << "both/bin" << true << false << false << "both/bin/help";
        QTest::newRow("no help anywhere, writable")
            << "bare" << QStringList{"bare"} << QStringList{} << "bare" << true << false << false
            << "bare/help";
        QTest::newRow("no help anywhere, read-only")
            << "ro" << QStringList{"ro"} << QStringList{} << "ro" << false << false << true
            << "<data>/help";
        QTest::newRow("share/glimpa/help is a file, not a folder")
            << "odd" << QStringList{"odd/bin", "odd/share/glimpa"}
            << QStringList{"odd/share/glimpa/help"} << "odd/bin" << true << false << false
            << "odd/bin/help";
        QTest::newRow("help beside is a file: installed")
            << "file" << QStringList{"file/bin", "file/share/glimpa/help"}
            << QStringList{"file/bin/help"} << "file/bin" << true << true << true
            << "file/share/glimpa/help";
    }
    void choice() {
        QFETCH(QString, case_);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, files);
        QFETCH(QString, exe);
        QFETCH(bool, writable);
        QFETCH(bool, installed);
        QFETCH(bool, inDataFolder);
        QFETCH(QString, help);
        // Root writes into any folder whatever its mode: only the install rule can tell.
        if (!writable && geteuid() == 0) QSKIP("root can write a read-only folder");

        for (const QString& f : folders) QVERIFY(QDir().mkpath(At(f)));
        for (const QString& f : files) {
            QFile file(At(f));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString exeFolder = At(exe);
        if (!writable)
            QVERIFY(QFile::setPermissions(exeFolder, QFile::ReadOwner | QFile::ExeOwner));
        const QString data = At(case_ + "-data/glimpa");

        QCOMPARE(RunsInstalled(exeFolder), installed);
        const QString chosen = ChooseProgramFolder(exeFolder, data);
        QCOMPARE(chosen, inDataFolder ? data : exeFolder);
        const QString expectedHelp = help.startsWith("<data>") ? data + help.mid(6) : At(help);
        QCOMPARE(ChooseHelpFolder(exeFolder, chosen), expectedHelp);

        if (!writable)
            QFile::setPermissions(exeFolder,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void dataFolderFollowsXdgDataHome() {
        const QByteArray old = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(At("xdg")));
        QCOMPARE(UserDataFolder(), At("xdg/glimpa"));
        if (old.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", old);
    }

    void helpFolderUnderATestsFolderIsItsHelp() {
        QTemporaryDir folder;
        SetAppPathOverride(folder.path());
        QCOMPARE(HelpFolder(), QDir::toNativeSeparators(folder.path() + "/help"));
        QCOMPARE(AppPath(), QDir::toNativeSeparators(folder.path()));
    }
};

QTEST_GUILESS_MAIN(ProgramFolderTest)
#include "program_folder_test.moc"
