#include "export/file_copy.h"

#include <QFile>
#include <QSaveFile>

bool CopyFileAtomically(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) return false;
    QSaveFile dest(to);
    if (!dest.open(QIODevice::WriteOnly)) return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        if (source.error() != QFileDevice::NoError || dest.write(chunk) != chunk.size()) {
            dest.cancelWriting();
            return false;
        }
    }
    return dest.commit();
}
