#include "capture/capture_shot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <future>
#include <map>

#include "platform/bitmap_file.h"

namespace {

struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const Stamp& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

bool StampOf(const QString& path, Stamp& stamp) {
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    stamp = {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    return true;
}

// A temporary file beside `path`, kept after closing; empty when none can be made.
QString TemporaryBeside(const QString& path) {
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open()) return QString();
    // The file the user finds has the usual permissions, not a temporary file's.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file.handle(), 0666 & ~mask);
    return file.fileName();
}

bool RenameOver(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    QFile::remove(from);
    return false;
}

// The bitmap written whole into `temporary`, which is removed when it is not.
bool WriteTemporary(const QImage& picture, const QString& temporary) {
    QFile file(temporary);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    WriteBitmap(picture, file) && file.flush();
    file.close();
    if (ok && file.error() == QFileDevice::NoError) return true;
    QFile::remove(temporary);
    return false;
}

// The composite's file, written ahead on another thread; renamed into place or removed.
struct Ahead {
    QImage picture;
    QString path;
    QString temporary;
    std::future<bool> written;

    bool Take() { return written.valid() && written.get() && RenameOver(temporary, path); }
    ~Ahead() {
        if (written.valid() && written.get()) QFile::remove(temporary);
    }
};

struct Shot {
    QImage picture;
    std::map<int, std::pair<QString, Stamp>> rows;
    std::unique_ptr<Ahead> ahead;
};

Shot& TheShot() {
    static Shot shot;
    return shot;
}

}  // namespace

void SetCaptureShot(const QImage& picture, const QString& compositeFile) {
    Shot& shot = TheShot();
    shot.ahead.reset();
    shot = {picture, {}, {}};
    if (picture.isNull() || compositeFile.isEmpty()) return;
    auto ahead = std::make_unique<Ahead>();
    ahead->picture = picture;
    ahead->path = compositeFile;
    ahead->temporary = TemporaryBeside(compositeFile);
    if (ahead->temporary.isEmpty()) return;
    ahead->written =
        std::async(std::launch::async, WriteTemporary, ahead->picture, ahead->temporary);
    shot.ahead = std::move(ahead);
}

const QImage& CaptureShot() {
    return TheShot().picture;
}

void RememberRowFile(int row, const QString& path) {
    Stamp stamp;
    if (StampOf(path, stamp))
        TheShot().rows[row] = {path, stamp};
    else
        TheShot().rows.erase(row);
}

bool RowFileFromShot(int row, const QString& path) {
    const auto& rows = TheShot().rows;
    const auto it = rows.find(row);
    Stamp now;
    return it != rows.end() && it->second.first == path && StampOf(path, now) &&
           now == it->second.second;
}

bool WriteCaptureFile(const QImage& picture, const QString& path) {
    if (picture.isNull()) return false;
    const QString temporary = TemporaryBeside(path);
    return !temporary.isEmpty() && WriteTemporary(picture, temporary) &&
           RenameOver(temporary, path);
}

bool WriteCompositeFile(const QImage& composite, const QString& path) {
    std::unique_ptr<Ahead> ahead = std::move(TheShot().ahead);
    if (ahead && ahead->path == path && composite.constBits() == ahead->picture.constBits() &&
        composite.size() == ahead->picture.size() && ahead->Take())
        return true;
    ahead.reset();
    return WriteCaptureFile(composite, path);
}

bool ShareCaptureFile(const QString& from, const QString& to) {
    const QString temporary = TemporaryBeside(to);
    if (temporary.isEmpty()) return false;
    QFile::remove(temporary);
    const QByteArray target = QFile::encodeName(temporary);
    if (::link(QFile::encodeName(from).constData(), target.constData()) != 0 &&
        !QFile::copy(from, temporary))
        return false;
    return RenameOver(temporary, to);
}
