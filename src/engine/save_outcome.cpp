#include "engine/save_outcome.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "formats/bitmap_reader.h"

namespace {

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool MayWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// Less than this free: a picture of any use would not fit.
constexpr qint64 kFullBelow = 64 * 1024;

bool DiskFull(const QString& folder, qint64 needed) {
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0) return false;
    const unsigned long long free = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
    return free < static_cast<unsigned long long>(std::max(needed, kFullBelow));
}

}  // namespace

SaveSource ReadSaveSource(const QString& croppedPath) {
    SaveSource source;
    const QFileInfo info(croppedPath);
    if (!info.exists() && !info.isSymLink()) return source;
    // The one checked reader: it refuses pipes, devices, lying headers and files that
    // end before their last row, and says which.
    const BitmapRead read = ReadBitmapFile(croppedPath);
    if (!read.ok()) {
        source.state = SaveSource::State::Unreadable;
        source.reason = read.reason;
        return source;
    }
    source.state = SaveSource::State::Ready;
    source.picture = read.picture.convertToFormat(QImage::Format_RGB32);
    return source;
}

QString WriteFailureReason(const QString& path, qint64 needed) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (info.isDir()) return QStringLiteral("a folder of that name is in the way");
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("the folder %1 does not exist").arg(Shown(folder));
    if (info.exists() && !MayWrite(path)) return QStringLiteral("the file is write-protected");
    if (!info.exists() && !MayWrite(folder))
        return QStringLiteral("the folder %1 does not allow new files").arg(Shown(folder));
    if (DiskFull(folder, needed)) return QStringLiteral("the disk is full");
    return QStringLiteral("the file could not be written");
}

QString SaveAsTitle() {
    return QStringLiteral("Save As");
}

QString NothingToSaveText() {
    return QStringLiteral("There is nothing to save yet: capture a page first.");
}

QString UnknownEndingText(const QString& path) {
    return QStringLiteral(
               "%1 was not saved: Glimpa saves pictures as .bmp, .jpg, .gif or .png. "
               "Choose a name that ends in one of these.")
        .arg(Shown(path));
}

QString NotSavedText(const QString& path, const QString& reason) {
    return QStringLiteral("%1 was not saved: %2.").arg(Shown(path), reason);
}

QString SourceReason(const QString& croppedPath, const QString& why) {
    return QStringLiteral("the picture to save, %1, cannot be read (%2)")
        .arg(Shown(croppedPath), why);
}
