// One Glimpa per program folder, with the real program: a copy of the executable in a
// folder of its own, started as the user would start it.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "desktop/message_box.h"
#include "desktop/startup.h"
#include "files/program_folder.h"
#include "files/single_instance.h"
#include "support/test_main.h"

namespace {

constexpr int kStartMs = 90000;

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every file in the folder with its content, the lock file aside.
QMap<QString, QByteArray> Contents(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        if (name != "glimpa.lock" && name != "glimpa") files[name] = Bytes(folder + "/" + name);
    return files;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder_;
    QString exe_;
    std::unique_ptr<QProcess> first_;
    QByteArray firstErr_;
    struct Shown {
        QString text;
        int style;
        QString title;
    };
    std::vector<Shown> messages_;

    std::unique_ptr<QProcess> Start() {
        auto process = std::make_unique<QProcess>();
        process->setProgram(exe_);
        process->setWorkingDirectory(folder_.path());
        process->start();
        return process;
    }
    QString LockPath() const { return folder_.filePath("glimpa.lock"); }

  private Q_SLOTS:
    void initTestCase() {
        // The program folder is the executable's own: a hard link (or copy) in a new one.
        exe_ = folder_.filePath("glimpa");
        if (::link(GLIMPA_EXE, QFile::encodeName(exe_).constData()) != 0)
            QVERIFY(QFile::copy(GLIMPA_EXE, exe_));
        QVERIFY(QFile::setPermissions(exe_, QFile::permissions(exe_) | QFile::ExeOwner));
        QVERIFY(QFile::exists(GLIMPA_EXE));
        SetMsgBoxHandler([this](const QString& text, int style, const QString& title) {
            messages_.push_back({text, style, title});
            return kMsgBoxResultOk;
        });
        first_ = Start();
        QVERIFY(first_->waitForStarted(kStartMs));
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         firstErr_ += first_->readAllStandardError();
                         return QFile::exists(LockPath());
                     },
                     kStartMs),
                 firstErr_.constData());
        // Start-up done: the help folder is made after the windows are placed.
        QVERIFY(
            QTest::qWaitFor([&] { return QFileInfo(folder_.filePath("help")).isDir(); }, kStartMs));
        QTest::qWait(500);
    }
    void cleanupTestCase() {
        SetMsgBoxHandler({});
        if (first_ && first_->state() != QProcess::NotRunning) {
            first_->kill();
            first_->waitForFinished(10000);
        }
    }

    // The second run on the same folder says so, and the first goes on untouched.
    void secondRunOnTheSameFolderEnds() {
        QVERIFY(first_->state() == QProcess::Running);
        const QMap<QString, QByteArray> before = Contents(folder_.path());
        const QByteArray lockBefore = Bytes(LockPath());

        // What the program does at start, in this process.
        SetAppPathOverride(folder_.path());
        ProgramFolderLock lock(folder_.path());
        messages_.clear();
        QVERIFY(!ClaimProgramFolder(lock));
        const QString text = "Glimpa is already running from the folder " +
                             QDir::toNativeSeparators(folder_.path()) + ".";
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(QVariantList({messages_[0].text, messages_[0].style, messages_[0].title}),
                 QVariantList({text, kMsgBoxExclamation, "Glimpa"}));
        SetAppPathOverride(testsupport::FreshProgramFolder());

        // The real second program: its line on standard error; its message box would
        // wait for a press no headless run gives, so it is ended here.
        auto second = Start();
        QVERIFY(second->waitForStarted(kStartMs));
        QByteArray err;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         err += second->readAllStandardError();
                         return err.contains(("Glimpa: " + text).toUtf8());
                     },
                     kStartMs),
                 err.constData());
        second->kill();
        second->waitForFinished(10000);

        QVERIFY(first_->state() == QProcess::Running);
        QCOMPARE(Contents(folder_.path()), before);
        QCOMPARE(Bytes(LockPath()), lockBefore);
    }

    // Another folder is another program: its own lock, free.
    void otherFolderIsFree() {
        QTemporaryDir other;
        ProgramFolderLock lock(other.path());
        QVERIFY(lock.TryLock());
        QVERIFY(QFile::exists(other.filePath("glimpa.lock")));
    }

    // Run as root, the program says once that the browser's sandbox is off.
    void rootIsTold() {
        if (geteuid() != 0) QSKIP("not running as root");
        firstErr_ += first_->readAllStandardError();
        QCOMPARE(firstErr_.count(SandboxOffText().toUtf8()), 1);
    }

    // A lock left by a program that ended without a word is taken over.
    void lockOfADeadRunIsTakenOver() {
        first_->kill();
        QVERIFY(first_->waitForFinished(10000));
        QVERIFY(QFile::exists(LockPath()));
        ProgramFolderLock lock(folder_.path());
        QVERIFY(lock.TryLock());
        // And held now: a further run is refused.
        ProgramFolderLock another(folder_.path());
        QVERIFY(!another.TryLock());
    }
};

GLIMPA_TEST_MAIN(SingleInstanceTest, 1024, 768)
#include "single_instance_test.moc"
