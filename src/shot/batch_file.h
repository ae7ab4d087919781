#pragma once
// The batch file of glimpa-shot: one page a line, "ADDRESS OUTPUT [OPTION]...", any of
// them in double quotes when it holds spaces; blank lines and lines starting with '#' are skipped.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

struct BatchPage {
    int line = 0;  // 1-based, for messages
    QUrl address;
    QString output;
    QStringList options;  // the line's own options, after ADDRESS OUTPUT
};

// The pages, or the first line that is not usable and why (then `pages` is empty).
struct BatchList {
    std::vector<BatchPage> pages;
    QString error;
};

// The largest batch file read (a pipe is read up to it), and the longest line: an address
// as long as a browser takes, and a name.
inline constexpr qint64 kLargestBatchFile = 16 << 20;
inline constexpr int kLongestBatchLine = 2 * 1024 * 1024 + 4096;

// Relative addresses and outputs are taken from `workingFolder`. An output named twice
// is refused: two pages would race for one file.
BatchList ParseBatchText(const QString& text, const QString& workingFolder);

// The same for a file (or a pipe) of UTF-8 text; a file that cannot be read, a device, or
// one larger than kLargestBatchFile is an error too.
BatchList ReadBatchFile(const QString& path, const QString& workingFolder);
