#pragma once
// Files that are not what a reader expects: a FIFO, links to devices, a directory, a
// sparse file far larger than any settings file, and a locale that writes "," for
// the decimal point. Header-only, for core and window tests alike.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <clocale>
#include <thread>

namespace testsupport {

enum class Special { Fifo, LinkToZero, LinkToNull, Directory, Huge };

inline const char* SpecialName(Special kind) {
    switch (kind) {
        case Special::Fifo:
            return "FIFO";
        case Special::LinkToZero:
            return "link to /dev/zero";
        case Special::LinkToNull:
            return "link to /dev/null";
        case Special::Directory:
            return "directory";
        case Special::Huge:
            return "huge file";
    }
    return "?";
}

// Puts a special file at `path` (removing what was there); a huge file is sparse and
// `hugeSize` bytes long.
inline bool MakeSpecial(const QString& path, Special kind, qint64 hugeSize = qint64{1} << 30) {
    QFile::remove(path);
    QDir(path).removeRecursively();
    const QByteArray native = QFile::encodeName(path);
    switch (kind) {
        case Special::Fifo:
            return ::mkfifo(native.constData(), 0600) == 0;
        case Special::LinkToZero:
            return QFile::link(QStringLiteral("/dev/zero"), path);
        case Special::LinkToNull:
            return QFile::link(QStringLiteral("/dev/null"), path);
        case Special::Directory:
            return QDir().mkpath(path);
        case Special::Huge: {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write("1\r\n") == 3 &&
                   file.resize(hugeSize);
        }
    }
    return false;
}

// Should a reader ever block on a FIFO, this writer opens its other end after a few
// seconds and closes it, so the reader sees the end of the file and the test fails on
// its time instead of hanging for ever.
class FifoRescue {
  public:
    explicit FifoRescue(const QString& path) : path_(QFile::encodeName(path)) {
        thread_ = std::thread([this] {
            for (int i = 0; i < 500 && !done_; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            while (!done_) {
                const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    ~FifoRescue() {
        done_ = true;
        thread_.join();
    }

  private:
    QByteArray path_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Switches the C library and Qt to German number formats ("2,5") for its lifetime.
// When the system has not generated that locale, it is compiled once per test run
// into a private folder.
class CommaLocale {
  public:
    CommaLocale() {
        old_ = std::setlocale(LC_ALL, nullptr);
        static const bool ready = [] {
            if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return true;
            static QTemporaryDir folder;
            if (!folder.isValid()) return false;
            QProcess::execute(QStringLiteral("localedef"),
                              {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                               QStringLiteral("UTF-8"), folder.filePath("de_DE.UTF-8")});
            qputenv("LOCPATH", QFile::encodeName(folder.path()));
            return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        }();
        if (ready) std::setlocale(LC_ALL, "de_DE.UTF-8");
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 2.5);
        usable_ = QByteArray(buf) == "2,5";
        oldQt_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, old_.constData());
        QLocale::setDefault(oldQt_);
    }
    // True when printf really writes "2,5" now.
    bool Usable() const { return usable_; }

  private:
    QByteArray old_;
    QLocale oldQt_;
    bool usable_ = false;
};

// The plain C locale, as under LC_ALL=C, for as long as the object lives.
class CLocale {
  public:
    CLocale() : old_(std::setlocale(LC_ALL, nullptr)), oldEnv_(qgetenv("LC_ALL")) {
        qputenv("LC_ALL", "C");
        std::setlocale(LC_ALL, "C");
    }
    ~CLocale() {
        std::setlocale(LC_ALL, old_.constData());
        if (oldEnv_.isNull())
            qunsetenv("LC_ALL");
        else
            qputenv("LC_ALL", oldEnv_);
    }

  private:
    QByteArray old_;
    QByteArray oldEnv_;
};

// Writes `bytes` into the FIFO at `path` once a reader has opened it, on a thread of its
// own that the caller joins; `wrote` tells whether all of them went. Never waits without
// end: with no reader for ten seconds it gives up, so that a failing test ends.
inline std::thread FeedFifo(const QString& path, QByteArray bytes, bool* wrote) {
    return std::thread([path, bytes, wrote] {
        *wrote = false;
        for (int tries = 0; tries < 1000; ++tries) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            qsizetype at = 0;
            while (at < bytes.size()) {
                const ssize_t n = ::write(fd, bytes.constData() + at, bytes.size() - at);
                if (n <= 0) break;
                at += n;
            }
            *wrote = at == bytes.size();
            ::close(fd);
            return;
        }
    });
}

}  // namespace testsupport
