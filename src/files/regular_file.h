#pragma once
// Opening a file that the program reads back (settings, bitmaps) without trusting what
// stands at the path: a pipe or a device would block or never end, so only a regular
// file of bounded size is opened.
#include <QFile>
#include <QString>
#include <memory>

struct RegularFile {
    std::unique_ptr<QFile> file;  // open for reading; null on failure
    qint64 size = 0;              // its size when it was opened
    QString reason;               // why it was not opened, for a message
};

// Opens `path` for reading when it is (or links to) a regular file of at most `limit`
// bytes. Never blocks: a FIFO without writer, a terminal or /dev/zero is refused at once.
RegularFile OpenRegularFile(const QString& path, qint64 limit);

// The same, but a pipe is taken too (its size is 0 then: unknown until read), for input
// the user may feed through one; a device or a folder is still refused.
RegularFile OpenRegularFileOrPipe(const QString& path, qint64 limit);
