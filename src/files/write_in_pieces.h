#pragma once
// Large writes in pieces well under 2 MB. A write of 2 MB or more has the kernel make
// huge pages for the file's cache (ext4 on recent kernels), and making them stalls for
// hundreds of milliseconds where memory is fragmented; pieces of 256 KB are as fast.
#include <QByteArray>
#include <QIODevice>

// True when all `size` bytes were written.
bool WriteInPieces(QIODevice& out, const char* bytes, qint64 size);

inline bool WriteInPieces(QIODevice& out, const QByteArray& bytes) {
    return WriteInPieces(out, bytes.constData(), bytes.size());
}
