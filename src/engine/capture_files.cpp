#include "engine/capture_files.h"

#include <sys/stat.h>

#include <QFile>
#include <algorithm>
#include <barrier>
#include <cstring>
#include <future>
#include <mutex>
#include <new>
#include <thread>

#include "files/replace_file.h"
#include "formats/bitmap_file.h"

bool CaptureFiles::StampOf(const QString& path, Stamp& stamp) {
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    stamp = {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    return true;
}

namespace {

// What `write` puts into an open file, all of it handed to the system (for the rename
// later); the file is cancelled when that fails.
template <typename Write>
Outcome WriteInto(ReplaceFile& file, Write write) {
    QIODevice& device = file.device();
    if (write(device) && static_cast<QFile&>(device).flush()) return Outcome::Done();
    const QString why = device.errorString();
    file.cancel();
    return Outcome::Failed(why);
}

Outcome WriteInto(ReplaceFile& file, const QImage& picture) {
    return WriteInto(file, [&](QIODevice& device) { return WriteBitmap(picture, device); });
}

}  // namespace

// The files cut from the capture's picture, written ahead on two more threads: one in
// the order asked, one from the last file back (the composite, the largest, is the last
// one needed), until they meet. Each is put in place when the same pixels are written
// there, and removed otherwise. The threads first pack the picture's rows, half each, as
// a bitmap file holds them: a file of full rows is then one run of those bytes, and the
// rows and the composite that share them are packed once, not twice.
struct CaptureFiles::Ahead {
    struct File {
        QString path;
        QRect part;
        std::unique_ptr<ReplaceFile> file;
        std::promise<bool> done;
        std::shared_future<bool> written = done.get_future().share();
        bool settled = false;
    };
    QImage picture;
    std::vector<std::unique_ptr<File>> files;
    std::mutex taking;
    size_t front = 0;
    size_t back = 0;
    // The packed rows, bottom up; null when no file is of full rows, or no memory.
    std::unique_ptr<unsigned char[]> packed;
    std::barrier<> bothPacked{2};
    std::thread first;
    std::thread last;

    // The part of the picture, read in place.
    QImage Part(const QRect& part) const {
        return QImage(picture.constScanLine(part.y()) + part.x() * 4, part.width(), part.height(),
                      picture.bytesPerLine(), picture.format());
    }
    void Write(bool fromFront) {
        if (packed) {
            // The top half lies after the bottom one.
            const int height = picture.height();
            const int half = height / 2;
            if (fromFront)
                PackBitmapRows(picture, 0, half,
                               packed.get() + (height - half) * BitmapRowBytes(picture.width()));
            else
                PackBitmapRows(picture, half, height, packed.get());
            bothPacked.arrive_and_wait();
        }
        for (;;) {
            File* entry = nullptr;
            {
                const std::lock_guard<std::mutex> lock(taking);
                if (front == back) return;
                entry = (fromFront ? files[front++] : files[--back]).get();
            }
            entry->done.set_value(WriteFile(*entry).ok);
        }
    }
    Outcome WriteFile(File& entry) const {
        const QRect& part = entry.part;
        if (!packed || part.x() != 0 || part.width() != picture.width())
            return WriteInto(*entry.file, Part(part));
        // The part's rows, bottom up, start where its last row is packed.
        const QImage shape = Part(part);
        const unsigned char* rows =
            packed.get() + (picture.height() - 1 - part.bottom()) * BitmapRowBytes(part.width());
        return WriteInto(*entry.file, [&](QIODevice& device) {
            return WritePackedBitmap(device, part.size(), shape.dotsPerMeterX(),
                                     shape.dotsPerMeterY(), rows);
        });
    }
    File* Find(const QString& path) {
        for (const auto& entry : files)
            if (entry->path == path && !entry->settled) return entry.get();
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
    // The files not taken are cancelled, and so removed, with their ReplaceFile.
    ~Ahead() {
        if (first.joinable()) first.join();
        if (last.joinable()) last.join();
    }
};

CaptureFiles::CaptureFiles() = default;

// What was written ahead goes first, then what was staged and not put in place.
CaptureFiles::~CaptureFiles() {
    ahead_.reset();
    staged_.clear();
}

void CaptureFiles::SetShot(const QImage& picture, const std::vector<FileAhead>& files) {
    ahead_.reset();
    rows_.clear();
    picture_ = picture;
    if (picture.isNull() || picture.depth() != 32 || files.empty()) return;
    auto ahead = std::make_unique<Ahead>();
    ahead->picture = picture;
    for (const FileAhead& file : files) {
        if (!picture.rect().contains(file.part) || file.part.isEmpty()) continue;
        auto entry = std::make_unique<Ahead::File>();
        entry->path = file.path;
        entry->part = file.part;
        entry->file = std::make_unique<ReplaceFile>(file.path, ReplaceFile::Kind::Scratch);
        if (!entry->file->open()) continue;
        ahead->files.push_back(std::move(entry));
    }
    ahead->back = ahead->files.size();
    const bool fullRows = std::any_of(ahead->files.begin(), ahead->files.end(), [&](const auto& f) {
        return f->part.x() == 0 && f->part.width() == picture.width();
    });
    if (fullRows && picture.format() == QImage::Format_RGB32)
        ahead->packed.reset(new (std::nothrow) unsigned char[static_cast<size_t>(
            BitmapRowBytes(picture.width()) * picture.height())]);
    ahead->first = std::thread(&Ahead::Write, ahead.get(), true);
    ahead->last = std::thread(&Ahead::Write, ahead.get(), false);
    ahead_ = std::move(ahead);
}

void CaptureFiles::ForgetFilesAhead() {
    ahead_.reset();
}

QImage CaptureFiles::ShotPart(const QRect& part) const {
    if (!picture_.rect().contains(part) || part.isEmpty() || picture_.depth() != 32) return {};
    // Read-only pixels of a copy that shares the picture's: drawing on the part detaches
    // it, and the copy goes with the last image that uses them.
    auto* pixels = new QImage(picture_);
    return QImage(
        pixels->constScanLine(part.y()) + part.x() * 4, part.width(), part.height(),
        pixels->bytesPerLine(), pixels->format(),
        [](void* image) { delete static_cast<QImage*>(image); }, pixels);
}

void CaptureFiles::RememberRowFile(int row, const QString& path) {
    Stamp stamp;
    if (StampOf(Readable(path), stamp))
        rows_[row] = {path, stamp};
    else
        rows_.erase(row);
}

bool CaptureFiles::RowFileFromShot(int row, const QString& path) const {
    const auto it = rows_.find(row);
    Stamp now;
    return it != rows_.end() && it->second.first == path && StampOf(Readable(path), now) &&
           now == it->second.second;
}

Outcome CaptureFiles::Write(const QImage& picture, const QString& path) {
    if (picture.isNull()) return Outcome::Failed(QStringLiteral("there is no picture"));
    const auto stage = [&](std::unique_ptr<ReplaceFile> file) {
        std::erase_if(staged_, [&](const auto& entry) { return entry.first == path; });
        staged_.emplace_back(path, std::move(file));
        return Outcome::Done();
    };
    if (Ahead::File* entry = ahead_ ? ahead_->Find(path) : nullptr) {
        entry->settled = true;
        const bool same = ahead_->Same(picture, entry->part);
        if (entry->written.get()) {
            if (same) return stage(std::move(entry->file));
            entry->file->cancel();
        }
    }
    auto file = std::make_unique<ReplaceFile>(path, ReplaceFile::Kind::Scratch);
    if (!file->open()) return Outcome::Failed(file->reason());
    if (const Outcome written = WriteInto(*file, picture); !written) return written;
    return stage(std::move(file));
}

QString CaptureFiles::Readable(const QString& path) const {
    for (const auto& [staged, file] : staged_)
        if (staged == path) return file->writtenPath();
    return path;
}

Outcome CaptureFiles::Commit() {
    auto staged = std::move(staged_);
    staged_.clear();
    for (auto& [path, file] : staged) {
        if (!file->commit()) return Outcome::Failed(file->reason());
        replaced_ = true;
    }
    return Outcome::Done();
}
