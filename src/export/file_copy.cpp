#include "export/file_copy.h"

#include <QFile>

#include "platform/replace_file.h"

bool CopyFileAtomically(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) return false;
    ReplaceFile dest(to);
    if (!dest.open()) return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        if (source.error() != QFileDevice::NoError || dest.device().write(chunk) != chunk.size()) {
            dest.cancel();
            return false;
        }
    }
    return dest.commit();
}
