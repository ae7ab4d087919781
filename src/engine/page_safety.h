#pragma once
// What any page the program shows may do beyond what a browser lets a web page do.
#include <QByteArray>
#include <QList>
#include <utility>

class QWebEnginePage;

// A page opened from a local file loads what it shows (its images, style sheets,
// scripts, fonts, media, workers, and frames and objects of other documents, pictures
// and PDFs), but its scripts read no other local file: fetch and XMLHttpRequest of a file
// address fail, a frame of a folder or of a text or data file is not loaded, and the page
// cannot send itself to one either (a link or a script may open another document only).
// Links are judged by what they point at. Turning an HTML file into a picture must not
// put the reader's files in it. The browser's own switch for this refuses a local page's
// images too.
void ConfineLocalPages(QWebEnginePage& page);

// Headers sent with every request the page makes from now on (an empty list: none).
// Local files get none.
void SetRequestHeaders(QWebEnginePage& page, QList<std::pair<QByteArray, QByteArray>> headers);
