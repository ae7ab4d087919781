#include "files/program_files.h"

#include "files/program_folder.h"

QString UrlFilePath() {
    return AppFile(QStringLiteral("url.txt"));
}

QString RowsFilePath() {
    return AppFile(QStringLiteral("rows.txt"));
}

QString BarPosFilePath() {
    return AppFile(QStringLiteral("barpos.txt"));
}

QString RowFilePath(int row) {
    return AppFile(QString::number(row) + QStringLiteral(".bmp"));
}

QString WhopperFilePath() {
    return AppFile(QStringLiteral("whopper.bmp"));
}

QString CroppedFilePath() {
    return AppFile(QStringLiteral("cropped.bmp"));
}
