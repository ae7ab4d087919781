#include "files/program_folder.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString& Override() {
    static QString folder;
    return folder;
}

QString ExeFolder() {
    return QCoreApplication::applicationDirPath();
}

QString Join(const QString& folder, const QString& name) {
    return QDir::cleanPath(folder + QLatin1Char('/') + name);
}

QString InstalledHelp(const QString& exeFolder) {
    return Join(exeFolder, QStringLiteral("../share/glimpa/help"));
}

// The kernel's own answer, as a write would get it: root may write where the mode bits
// say no, and an ACL or a read-only mount may refuse what the mode bits allow.
bool CanWrite(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

}  // namespace

bool RunsInstalled(const QString& exeFolder) {
    return !QFileInfo(Join(exeFolder, QStringLiteral("help"))).isDir() &&
           QFileInfo(InstalledHelp(exeFolder)).isDir();
}

QString ChooseProgramFolder(const QString& exeFolder, const QString& userDataFolder) {
    if (RunsInstalled(exeFolder) || !CanWrite(exeFolder)) return userDataFolder;
    return exeFolder;
}

QString ChooseHelpFolder(const QString& exeFolder, const QString& programFolder) {
    const QString beside = Join(exeFolder, QStringLiteral("help"));
    if (QFileInfo(beside).isDir()) return beside;
    if (QFileInfo(InstalledHelp(exeFolder)).isDir()) return InstalledHelp(exeFolder);
    return Join(programFolder, QStringLiteral("help"));
}

QString UserDataFolder() {
    return Join(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                QStringLiteral("glimpa"));
}

QString AppPath() {
    if (!Override().isEmpty()) return Override();
    // The executable does not move during a run: choose once, and make the folder then.
    static const QString chosen = [] {
        const QString folder = ChooseProgramFolder(ExeFolder(), UserDataFolder());
        QDir().mkpath(folder);
        return QDir::toNativeSeparators(folder);
    }();
    return chosen;
}

QString AppFile(const QString& name) {
    return AppPath() + QDir::separator() + name;
}

void SetAppPathOverride(const QString& folder) {
    Override() = QDir::toNativeSeparators(folder);
}

QString HelpFolder() {
    if (!Override().isEmpty()) return AppFile(QStringLiteral("help"));
    return QDir::toNativeSeparators(ChooseHelpFolder(ExeFolder(), AppPath()));
}
