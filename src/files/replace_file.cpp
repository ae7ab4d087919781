#include "files/replace_file.h"

#include <unistd.h>

#include <QFileInfo>

bool CommitSaveFile(QSaveFile& file) {
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

ReplaceFile::ReplaceFile(const QString& path) : path_(path), atomic_(path), inPlace_(path) {}

bool ReplaceFile::open() {
    if (atomic_.open(QIODevice::WriteOnly)) return true;
    const QFileInfo target(path_);
    if (!target.isFile()) return false;
    // Only when the folder is what refuses, and the file itself may be written. A full
    // disk, say, is no reason to give up the old file's safety.
    const auto mayWrite = [](const QString& path) {
        return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
    };
    if (mayWrite(target.absolutePath()) || !mayWrite(path_)) return false;
    if (!inPlace_.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    direct_ = true;
    return true;
}

QIODevice& ReplaceFile::device() {
    if (direct_) return inPlace_;
    return atomic_;
}

bool ReplaceFile::commit() {
    if (!direct_) return CommitSaveFile(atomic_);
    const bool flushed = inPlace_.flush() && inPlace_.error() == QFileDevice::NoError;
    inPlace_.close();
    return flushed && !failed_ && inPlace_.error() == QFileDevice::NoError;
}

void ReplaceFile::cancel() {
    if (!direct_) return atomic_.cancelWriting();
    failed_ = true;
    inPlace_.close();
}
