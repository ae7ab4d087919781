#include "files/program_files.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

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

void RemoveStrayTemporaries() {
    static const QRegularExpression ours(QStringLiteral(
        R"(^(url\.txt|rows\.txt|barpos\.txt|whopper\.bmp|cropped\.bmp|[0-9]+\.bmp)\.glimpa-[A-Za-z0-9]{6}$)"));
    const QDir folder(AppPath());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (ours.match(name).hasMatch()) QFile::remove(folder.filePath(name));
}
