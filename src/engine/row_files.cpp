#include "engine/row_files.h"

#include <QFile>
#include <QFileInfo>

#include "files/program_folder.h"

QString RowFilePath(int row) {
    return AppFile(QString::number(row) + QStringLiteral(".bmp"));
}

QString WhopperFilePath() {
    return AppFile(QStringLiteral("whopper.bmp"));
}

bool WaitForReadableFile(const QString& path, WaitBound bound) {
    return WaitUntil(
        [&] {
            QFile file(path);
            return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
        },
        bound, WaitBound(10));
}
