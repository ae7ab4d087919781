#include "formats/bitmap_copy.h"

#include "files/regular_file.h"
#include "files/replace_file.h"
#include "formats/bitmap_reader.h"

FileOutcome CopyBitmapFile(const QString& from, const QString& to) {
    const RegularFile source = OpenRegularFile(from, kMaxBitmapFileBytes);
    if (!source.file) return FileOutcome::Failed(source.error);
    const QByteArray head = source.file->read(std::min(source.size, kBitmapHeadBytes));
    const BitmapHeaderCheck check = CheckBitmapHeader(head, source.size);
    if (!check.layout) return FileOutcome::Failed(check.error);
    if (!source.file->seek(0)) return FileOutcome::Failed(source.file->errorString());

    ReplaceFile dest(to);
    if (!dest.open()) return FileOutcome::Failed(dest.device().errorString());
    constexpr qint64 kChunk = 1 << 20;
    qint64 left = source.size;
    while (left > 0) {
        const QByteArray chunk = source.file->read(std::min(kChunk, left));
        if (chunk.isEmpty()) {
            dest.cancel();
            return FileOutcome::Failed(QStringLiteral("truncated while it was copied"));
        }
        if (dest.device().write(chunk) != chunk.size()) {
            const QString why = dest.device().errorString();
            dest.cancel();
            return FileOutcome::Failed(why);
        }
        left -= chunk.size();
    }
    if (!dest.commit())
        return FileOutcome::Failed(QStringLiteral("the file could not be finished"));
    return FileOutcome::Done();
}

bool CopyFileAtomically(const QString& from, const QString& to) {
    return CopyBitmapFile(from, to).ok;
}
