#include "capture/capture_shot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryFile>
#include <cstdio>
#include <map>

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

struct Shot {
    QImage picture;
    std::map<int, std::pair<QString, Stamp>> rows;
};

Shot& TheShot() {
    static Shot shot;
    return shot;
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

}  // namespace

void SetCaptureShot(const QImage& picture) {
    TheShot() = {picture, {}};
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
    // Qt's writer gives 24-bit rows for every picture of more than 8 bits a pixel.
    const QImage rgb = picture.depth() > 8 && !picture.hasAlphaChannel()
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    const QString temporary = TemporaryBeside(path);
    if (temporary.isEmpty()) return false;
    QFile file(temporary);
    QImageWriter writer(&file, "bmp");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !writer.write(rgb) ||
        !file.flush()) {
        file.close();
        QFile::remove(temporary);
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        QFile::remove(temporary);
        return false;
    }
    return RenameOver(temporary, path);
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
