#include "formats/bitmap_copy.h"

#include "files/regular_file.h"
#include "files/replace_file.h"
#include "formats/bitmap_reader.h"

Outcome CopyBitmapFile(const QString& from, const QString& to) {
    const RegularFile source = OpenRegularFile(from, kMaxBitmapFileBytes);
    if (!source.file) return Outcome::Failed(source.reason);
    const QByteArray head = source.file->read(std::min(source.size, kBitmapHeadBytes));
    const BitmapHeaderCheck check = CheckBitmapHeader(head, source.size);
    if (!check.layout) return Outcome::Failed(check.reason);
    if (!source.file->seek(0)) return Outcome::Failed(source.file->errorString());

    ReplaceFile dest(to);
    if (!dest.open()) return Outcome::Failed(dest.reason());
    constexpr qint64 kChunk = 1 << 20;
    qint64 left = source.size;
    while (left > 0) {
        const QByteArray chunk = source.file->read(std::min(kChunk, left));
        if (chunk.isEmpty()) {
            dest.cancel();
            return Outcome::Failed(QStringLiteral("truncated while it was copied"));
        }
        if (dest.device().write(chunk) != chunk.size()) {
            const QString why = dest.device().errorString();
            dest.cancel();
            return Outcome::Failed(why);
        }
        left -= chunk.size();
    }
    if (!dest.commit()) return Outcome::Failed(dest.reason());
    return Outcome::Done();
}
