#include "files/write_in_pieces.h"

#include <algorithm>

bool WriteInPieces(QIODevice& out, const char* bytes, qint64 size) {
    constexpr qint64 kPiece = 256 << 10;
    while (size > 0) {
        const qint64 piece = std::min(size, kPiece);
        if (out.write(bytes, piece) != piece) return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}
