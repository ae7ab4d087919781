#include "platform/replace_file.h"

#include <unistd.h>

#include <QFileInfo>

ReplaceFile::ReplaceFile(const QString& path) : path_(path), atomic_(path), inPlace_(path) {}

bool ReplaceFile::open() {
    if (atomic_.open(QIODevice::WriteOnly)) return true;
    const QFileInfo target(path_);
    if (!target.isFile()) return false;
    // Only when the folder is what refuses: a file we may not write stays refused.
    if (::access(QFile::encodeName(path_).constData(), W_OK) != 0) return false;
    if (!inPlace_.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    direct_ = true;
    return true;
}

QIODevice& ReplaceFile::device() {
    if (direct_) return inPlace_;
    return atomic_;
}

bool ReplaceFile::commit() {
    if (!direct_) return atomic_.commit();
    const bool flushed = inPlace_.flush() && inPlace_.error() == QFileDevice::NoError;
    inPlace_.close();
    return flushed && !failed_ && inPlace_.error() == QFileDevice::NoError;
}

void ReplaceFile::cancel() {
    if (!direct_) return atomic_.cancelWriting();
    failed_ = true;
    inPlace_.close();
}
