#pragma once
// What any page the program shows may do beyond what a browser lets a web page do.
class QWebEnginePage;

// A page opened from a local file loads what it shows (its images, style sheets,
// scripts, fonts, media, and frames of other HTML documents), but its scripts read no
// other local file: fetch and XMLHttpRequest of a file address fail, and a frame of a
// folder or of a file that is no HTML document is not loaded, so no script can read it.
// Turning an HTML file into a picture must not put the reader's files in it. The
// browser's own switch for this refuses a local page's images too.
void ConfineLocalPages(QWebEnginePage& page);
