#include "files/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/release_later.h"
#include "files/write_in_pieces.h"

namespace {

// The process's file creation mask, read where no other thread can be caught by a
// change of it.
mode_t CreationMask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
    return 022;
}

// A temporary file beside `path`, kept after closing; empty when none can be made. Its
// name says whose it is, so that what a run cut short leaves can be found again.
QString TemporaryBeside(const QString& path) {
    QTemporaryFile file(path + QStringLiteral(".glimpa-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open()) return QString();
    // The file the user finds has the old file's permissions, or the usual ones, not a
    // temporary file's.
    struct stat old;
    const bool existing =
        ::lstat(QFile::encodeName(path).constData(), &old) == 0 && S_ISREG(old.st_mode);
    ::fchmod(file.handle(), existing ? (old.st_mode & 07777) : (0666 & ~CreationMask()));
    return file.fileName();
}

// Renames `from` over `to`, the old file's blocks freed on another thread; `from` is
// removed when the rename fails. A link at `to` is itself replaced.
//
// Where an old file stands, the two names are exchanged and the old one then removed:
// ext4 makes a rename over a file write the new one's data out first, 24 ms for a
// 37 MB bitmap, which every capture would wait for. The exchange is just as atomic; a
// file system without it gets the plain rename.
bool RenameOver(const QString& from, const QString& to) {
    const ReleaseLater replaced(to);
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    struct stat old;
    const bool replacing =
        ::lstat(target.constData(), &old) == 0 && (S_ISREG(old.st_mode) || S_ISLNK(old.st_mode));
    if (replacing && ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                                 RENAME_EXCHANGE) == 0) {
        ::unlink(source.constData());
        return true;
    }
    if (std::rename(source.constData(), target.constData()) == 0) return true;
    QFile::remove(from);
    return false;
}

// QSaveFile::commit() alone overlooks a failure to flush its buffer (a full disk, say)
// and would put an empty or short file in the old one's place.
bool CommitSaveFile(QSaveFile& file) {
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// What stands at `path` when it is something a write must not open: a FIFO would block,
// a device would take the bytes (as root, a link into /dev would replace the device).
QString NotRegular(const QString& path, bool followLinks) {
    struct stat info;
    const QByteArray name = QFile::encodeName(path);
    if ((followLinks ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) != 0)
        return QString();
    if (S_ISREG(info.st_mode) || (!followLinks && S_ISLNK(info.st_mode))) return QString();
    if (S_ISDIR(info.st_mode)) return QStringLiteral("a folder stands in its place");
    if (S_ISFIFO(info.st_mode)) return QStringLiteral("not a regular file but a pipe");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return QStringLiteral("not a regular file but a device");
    return QStringLiteral("not a regular file");
}

}  // namespace

QString NotRegularReason(const QString& path) {
    return NotRegular(path, true);
}

namespace {

bool MayWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

ReplaceFile::ReplaceFile(const QString& path, Kind kind)
    : path_(path), kind_(kind), atomic_(path), inPlace_(path) {}

ReplaceFile::~ReplaceFile() {
    if (!done_) cancel();
}

bool ReplaceFile::open() {
    reason_ = NotRegular(path_, kind_ == Kind::Kept);
    if (!reason_.isEmpty()) return false;
    if (kind_ == Kind::Kept) {
        if (atomic_.open(QIODevice::WriteOnly)) return true;
        reason_ = atomic_.errorString();
        return OpenInPlace();
    }
    const QString temporary = TemporaryBeside(path_);
    if (temporary.isEmpty()) {
        reason_ = QStringLiteral("no new file can be made beside it");
        return kind_ == Kind::Own && OpenInPlace();
    }
    // Opened without truncating: it is new and empty, and ext4 writes out a file that was
    // truncated when it is closed, which every capture would wait for.
    temporary_ = std::make_unique<QFile>();
    temporaryPath_ = temporary;
    const int fd = ::open(QFile::encodeName(temporary).constData(),
                          O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd >= 0 && temporary_->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return true;
    if (fd >= 0) ::close(fd);
    reason_ = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : temporary_->errorString();
    QFile::remove(temporary);
    temporary_.reset();
    return false;
}

// Only when the folder is what refuses, the file itself may be written and is no link.
// A full disk, say, is no reason to give up the old file's safety.
bool ReplaceFile::OpenInPlace() {
    const QFileInfo target(path_);
    if (!target.isFile() || (kind_ != Kind::Kept && target.isSymLink())) return false;
    // A file of the program's own that shares its data with another name (cropped.bmp
    // with whopper.bmp) would change both.
    struct stat info;
    if (kind_ != Kind::Kept &&
        (::lstat(QFile::encodeName(path_).constData(), &info) != 0 || info.st_nlink > 1))
        return false;
    if (MayWrite(target.absolutePath()) || !MayWrite(path_)) return false;
    if (!inPlace_.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    direct_ = true;
    reason_.clear();
    return true;
}

QIODevice& ReplaceFile::device() {
    if (temporary_) return *temporary_;
    if (direct_) return inPlace_;
    return atomic_;
}

bool ReplaceFile::commit() {
    done_ = true;
    bool ok = false;
    if (temporary_) {
        const QString temporary = temporaryPath_;
        ok = temporary_->flush() && temporary_->error() == QFileDevice::NoError;
        // A file that stands for the user's work is on the disk before it replaces the
        // old one.
        if (ok && kind_ == Kind::Own) ok = ::fsync(temporary_->handle()) == 0;
        if (!ok) reason_ = temporary_->errorString();
        temporary_->close();
        temporary_.reset();
        if (!ok) {
            QFile::remove(temporary);
        } else if (!RenameOver(temporary, path_)) {
            reason_ = QStringLiteral("it could not be put in place");
            ok = false;
        }
    } else if (!direct_) {
        ok = atomic_.isOpen() && CommitSaveFile(atomic_);
    } else {
        ok = inPlace_.flush() && inPlace_.error() == QFileDevice::NoError;
        inPlace_.close();
        ok = ok && !failed_ && inPlace_.error() == QFileDevice::NoError;
    }
    if (!ok && reason_.isEmpty()) reason_ = device().errorString();
    if (!ok && reason_.isEmpty()) reason_ = QStringLiteral("the file could not be finished");
    return ok;
}

void ReplaceFile::cancel() {
    done_ = true;
    if (temporary_) {
        const QString temporary = temporaryPath_;
        temporary_->close();
        temporary_.reset();
        QFile::remove(temporary);
    } else if (!direct_) {
        if (atomic_.isOpen()) atomic_.cancelWriting();
    } else {
        failed_ = true;
        inPlace_.close();
    }
}

QString ReplaceFile::reason() const {
    return reason_;
}

QString ReplaceFile::writtenPath() const {
    if (temporary_) return temporaryPath_;
    if (!direct_ && atomic_.isOpen()) return atomic_.fileName();
    return path_;
}

Outcome ReplaceFileWith(const QString& path, QByteArrayView bytes, ReplaceFile::Kind kind) {
    ReplaceFile file(path, kind);
    if (!file.open()) return Outcome::Failed(file.reason());
    if (!WriteInPieces(file.device(), bytes.data(), bytes.size())) {
        const QString why = file.device().errorString();
        file.cancel();
        return Outcome::Failed(why);
    }
    if (!file.commit()) return Outcome::Failed(file.reason());
    return Outcome::Done();
}

Outcome ReplaceWithLink(const QString& from, const QString& to) {
    const QString temporary = TemporaryBeside(to);
    if (temporary.isEmpty())
        return Outcome::Failed(QStringLiteral("no new file can be made beside it"));
    QFile::remove(temporary);
    const QByteArray target = QFile::encodeName(temporary);
    if (::link(QFile::encodeName(from).constData(), target.constData()) != 0 &&
        !QFile::copy(from, temporary))
        return Outcome::Failed(QStringLiteral("it could not be made from %1").arg(from));
    if (!RenameOver(temporary, to))
        return Outcome::Failed(QStringLiteral("it could not be put in place"));
    return Outcome::Done();
}
