#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& Override() {
    static QString folder;
    return folder;
}
}  // namespace

QString AppPath() {
    if (!Override().isEmpty()) return Override();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString AppFile(const QString& name) {
    return AppPath() + QDir::separator() + name;
}

void SetAppPathOverride(const QString& folder) {
    Override() = QDir::toNativeSeparators(folder);
}
