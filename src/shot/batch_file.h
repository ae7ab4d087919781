#pragma once
// The batch file of glimpa-shot: one page a line, "ADDRESS OUTPUT", either of them in
// double quotes when it holds spaces; blank lines and lines starting with '#' are skipped.
#include <QString>
#include <QUrl>
#include <vector>

struct BatchPage {
    int line = 0;  // 1-based, for messages
    QUrl address;
    QString output;
};

// The pages, or the first line that is not usable and why (then `pages` is empty).
struct BatchList {
    std::vector<BatchPage> pages;
    QString error;
};

// Relative addresses and outputs are taken from `workingFolder`. An output named twice
// is refused: two pages would race for one file.
BatchList ParseBatchText(const QString& text, const QString& workingFolder);

// The same for a file; a file that cannot be read is an error too.
BatchList ReadBatchFile(const QString& path, const QString& workingFolder);
