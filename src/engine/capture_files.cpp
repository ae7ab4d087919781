#include "engine/capture_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "files/release_later.h"
#include "formats/bitmap_file.h"

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
    const ReleaseLater replaced(to);
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

// The files cut from the capture's picture, written ahead on two more threads: one in
// the order asked, one from the last file back (the composite, the largest, is the last
// one needed), until they meet. Each is renamed into place when the same pixels are
// written there, and removed otherwise.
struct Ahead {
    struct File {
        QString path;
        QRect part;
        QString temporary;
        std::promise<bool> done;
        std::shared_future<bool> written = done.get_future().share();
        bool settled = false;
    };
    QImage picture;
    std::vector<std::unique_ptr<File>> files;
    std::mutex taking;
    size_t front = 0;
    size_t back = 0;
    std::thread first;
    std::thread last;

    // The part of the picture, read in place.
    QImage Part(const QRect& part) const {
        return QImage(picture.constScanLine(part.y()) + part.x() * 4, part.width(), part.height(),
                      picture.bytesPerLine(), picture.format());
    }
    void Write(bool fromFront) {
        for (;;) {
            File* file = nullptr;
            {
                const std::lock_guard<std::mutex> lock(taking);
                if (front == back) return;
                file = (fromFront ? files[front++] : files[--back]).get();
            }
            file->done.set_value(WriteTemporary(Part(file->part), file->temporary));
        }
    }
    File* Find(const QString& path) {
        for (const auto& file : files)
            if (file->path == path && !file->settled) return file.get();
        return nullptr;
    }
    bool Same(const QImage& other, const QRect& part) const {
        if (other.size() != part.size() || other.depth() != 32) return false;
        const qsizetype bytes = qsizetype(part.width()) * 4;
        for (int y = 0; y < part.height(); ++y) {
            const uchar* mine = picture.constScanLine(part.y() + y) + part.x() * 4;
            const uchar* theirs = other.constScanLine(y);
            if (mine != theirs && std::memcmp(mine, theirs, static_cast<size_t>(bytes)) != 0)
                return false;
        }
        return true;
    }
    ~Ahead() {
        if (first.joinable()) first.join();
        if (last.joinable()) last.join();
        for (const auto& file : files)
            if (!file->settled && file->written.get()) QFile::remove(file->temporary);
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

void SetCaptureShot(const QImage& picture, const std::vector<FileAhead>& files) {
    Shot& shot = TheShot();
    shot.ahead.reset();
    shot = {picture, {}, {}};
    if (picture.isNull() || picture.depth() != 32 || files.empty()) return;
    auto ahead = std::make_unique<Ahead>();
    ahead->picture = picture;
    for (const FileAhead& file : files) {
        if (!picture.rect().contains(file.part) || file.part.isEmpty()) continue;
        auto entry = std::make_unique<Ahead::File>();
        entry->path = file.path;
        entry->part = file.part;
        entry->temporary = TemporaryBeside(file.path);
        if (entry->temporary.isEmpty()) continue;
        ahead->files.push_back(std::move(entry));
    }
    ahead->back = ahead->files.size();
    ahead->first = std::thread(&Ahead::Write, ahead.get(), true);
    ahead->last = std::thread(&Ahead::Write, ahead.get(), false);
    shot.ahead = std::move(ahead);
}

void ForgetFilesAhead() {
    TheShot().ahead.reset();
}

const QImage& CaptureShot() {
    return TheShot().picture;
}

QImage CaptureShotPart(const QRect& part) {
    const QImage& picture = TheShot().picture;
    if (!picture.rect().contains(part) || part.isEmpty() || picture.depth() != 32) return {};
    // Read-only pixels of a copy that shares the picture's: drawing on the part detaches
    // it, and the copy goes with the last image that uses them.
    auto* pixels = new QImage(picture);
    return QImage(
        pixels->constScanLine(part.y()) + part.x() * 4, part.width(), part.height(),
        pixels->bytesPerLine(), pixels->format(),
        [](void* image) { delete static_cast<QImage*>(image); }, pixels);
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
    Ahead* ahead = TheShot().ahead.get();
    if (Ahead::File* file = ahead ? ahead->Find(path) : nullptr) {
        file->settled = true;
        const bool same = ahead->Same(picture, file->part);
        if (file->written.get()) {
            if (same) return RenameOver(file->temporary, path);
            QFile::remove(file->temporary);
        }
    }
    const QString temporary = TemporaryBeside(path);
    return !temporary.isEmpty() && WriteTemporary(picture, temporary) &&
           RenameOver(temporary, path);
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
