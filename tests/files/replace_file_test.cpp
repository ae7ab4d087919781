// What a write does with what stands at its path: only regular files are written; a
// file the user names is written through a link to one, a file of the program's own
// folder or of a capture replaces the link; pipes, devices and folders are refused and
// left as they were.
#include <sys/stat.h>
#include <sys/types.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "files/replace_file.h"

Q_DECLARE_METATYPE(ReplaceFile::Kind)

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What stands at `path`, without following a link.
QString Standing(const QString& path) {
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return QStringLiteral("none");
    if (S_ISLNK(info.st_mode)) return QStringLiteral("link");
    if (S_ISFIFO(info.st_mode)) return QStringLiteral("fifo");
    if (S_ISDIR(info.st_mode)) return QStringLiteral("folder");
    if (S_ISREG(info.st_mode)) return QStringLiteral("file");
    return QStringLiteral("other");
}

}  // namespace

class ReplaceFileTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

  private Q_SLOTS:
    void standing_data() {
        QTest::addColumn<ReplaceFile::Kind>("kind");
        QTest::addColumn<QString>("at");  // what stands at the path before the write
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("after");         // what stands there after it
        QTest::addColumn<QByteArray>("elsewhere");  // what the link's target then holds
        const QByteArray old("old"), fresh("new");
        using K = ReplaceFile::Kind;
        QTest::newRow("kept, nothing") << K::Kept << "none" << true << "file" << old;
        QTest::newRow("kept, a pipe") << K::Kept << "fifo" << false << "fifo" << old;
        QTest::newRow("kept, a link to a device")
            << K::Kept << "device link" << false << "link" << old;
        QTest::newRow("kept, a folder") << K::Kept << "folder" << false << "folder" << old;
        QTest::newRow("kept, a link to a file")
            << K::Kept << "file link" << true << "link" << fresh;
        QTest::newRow("own, a link to a file") << K::Own << "file link" << true << "file" << old;
        QTest::newRow("own, a link to a device")
            << K::Own << "device link" << true << "file" << old;
        QTest::newRow("own, a pipe") << K::Own << "fifo" << false << "fifo" << old;
        QTest::newRow("scratch, a link to a file")
            << K::Scratch << "file link" << true << "file" << old;
        QTest::newRow("scratch, a pipe") << K::Scratch << "fifo" << false << "fifo" << old;
        // A file replaced, also one that has a second name: that name keeps the old one.
        QTest::newRow("kept, a file") << K::Kept << "file" << true << "file" << old;
        QTest::newRow("own, a file") << K::Own << "file" << true << "file" << old;
        QTest::newRow("scratch, a file") << K::Scratch << "file" << true << "file" << old;
        QTest::newRow("own, a second name") << K::Own << "hard link" << true << "file" << old;
        QTest::newRow("scratch, a second name")
            << K::Scratch << "hard link" << true << "file" << old;
    }
    void standing() {
        QFETCH(ReplaceFile::Kind, kind);
        QFETCH(QString, at);
        QFETCH(bool, written);
        QFETCH(QString, after);
        QFETCH(QByteArray, elsewhere);
        const QString folder = Path(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/out.bmp",
                      target = Path("target-" + QString::number(qHash(folder)));
        QVERIFY(Put(target, "old"));
        if (at == "fifo") QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        if (at == "folder") QVERIFY(QDir().mkpath(path));
        if (at == "file link") QVERIFY(QFile::link(target, path));
        if (at == "device link") QVERIFY(QFile::link("/dev/null", path));
        if (at == "file") QVERIFY(Put(path, "old, and longer than the new"));
        if (at == "hard link")
            QVERIFY(::link(QFile::encodeName(target).constData(),
                           QFile::encodeName(path).constData()) == 0);

        ReplaceFile file(path, kind);
        const bool opened = file.open();
        QCOMPARE(opened, written);
        if (opened) {
            file.device().write("new");
            QVERIFY(file.commit());
            QCOMPARE(Bytes(path), QByteArray("new"));
        } else {
            QVERIFY2(file.reason().contains(at == "folder" ? "folder" : "not a regular file"),
                     qPrintable(file.reason()));
        }
        QCOMPARE(Standing(path), after);
        QCOMPARE(Bytes(target), elsewhere);
        if (after == "link") QVERIFY(QFileInfo(path).isSymLink());
        // Nothing is left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden).size(),
                 at == "folder" ? 0 : 1);
    }

    // A second name made for a file replaces what stands there as a capture's file does;
    // a folder in its place is refused and left where it is.
    void linkStanding_data() {
        QTest::addColumn<QString>("at");
        QTest::addColumn<bool>("made");
        QTest::newRow("nothing") << "none" << true;
        QTest::newRow("a file") << "file" << true;
        QTest::newRow("a link to a file") << "file link" << true;
        QTest::newRow("a folder") << "folder" << false;
    }
    void linkStanding() {
        QFETCH(QString, at);
        QFETCH(bool, made);
        const QString folder = Path("link " + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString from = folder + "/whole.bmp", to = folder + "/cropped.bmp",
                      other = Path("other-" + QString::number(qHash(folder)));
        QVERIFY(Put(from, "new"));
        QVERIFY(Put(other, "old"));
        if (at == "file") QVERIFY(Put(to, "old"));
        if (at == "file link") QVERIFY(QFile::link(other, to));
        if (at == "folder") QVERIFY(QDir().mkpath(to));
        QCOMPARE(bool(ReplaceWithLink(from, to)), made);
        QCOMPARE(Standing(to), made ? QStringLiteral("file") : at);
        if (made) QCOMPARE(Bytes(to), QByteArray("new"));
        QCOMPARE(Bytes(other), QByteArray("old"));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System |
                                        QDir::Hidden),
                 QStringList({"cropped.bmp", "whole.bmp"}));
    }

    // A file the user made private stays private when it is replaced, whatever the kind;
    // a new file gets the usual permissions.
    void keepsPermissions_data() {
        QTest::addColumn<ReplaceFile::Kind>("kind");
        QTest::newRow("kept") << ReplaceFile::Kind::Kept;
        QTest::newRow("own") << ReplaceFile::Kind::Own;
        QTest::newRow("scratch") << ReplaceFile::Kind::Scratch;
    }
    void keepsPermissions() {
        QFETCH(ReplaceFile::Kind, kind);
        const QString path = Path(QStringLiteral("private-%1").arg(int(kind)));
        QVERIFY(Put(path, "old"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(ReplaceFileWith(path, "new", kind));
        QCOMPARE(Bytes(path), QByteArray("new"));
        QCOMPARE(QFile::permissions(path) & 0x7777,
                 QFile::Permissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                    QFile::WriteUser));
        const QString fresh = Path(QStringLiteral("fresh-%1").arg(int(kind)));
        QVERIFY(ReplaceFileWith(fresh, "new", kind));
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (!(mask & S_IROTH)) QVERIFY(QFile::permissions(fresh) & QFile::ReadOther);
    }

    // A folder that takes new files but not a temporary one for this name (too long a
    // name): the old file stays whole, never written over in place.
    void noTemporaryInAWritableFolder_data() {
        QTest::addColumn<ReplaceFile::Kind>("kind");
        QTest::newRow("own") << ReplaceFile::Kind::Own;
        QTest::newRow("scratch") << ReplaceFile::Kind::Scratch;
    }
    void noTemporaryInAWritableFolder() {
        QFETCH(ReplaceFile::Kind, kind);
        const QString path = Path(QString(250, u'n') + QString::number(int(kind)));
        QVERIFY(Put(path, "old"));
        ReplaceFile file(path, kind);
        QVERIFY(!file.open());
        QVERIFY(!file.direct());
        QVERIFY(!file.reason().isEmpty());
        QCOMPARE(Bytes(path), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(ReplaceFileTest)
#include "replace_file_test.moc"
