#include "files/single_instance.h"

#include <QDir>

ProgramFolderLock::ProgramFolderLock(const QString& folder)
    : path_(QDir(folder).filePath(QStringLiteral("glimpa.lock"))), lock_(path_) {
    // Only a dead owner makes a lock stale, never its age: a run may last for days.
    lock_.setStaleLockTime(0);
}

bool ProgramFolderLock::TryLock() {
    if (lock_.tryLock(0)) return true;
    return lock_.error() != QLockFile::LockFailedError;
}

QString AlreadyRunningText(const QString& folder) {
    return QStringLiteral("Glimpa is already running from the folder %1.")
        .arg(QDir::toNativeSeparators(folder));
}
