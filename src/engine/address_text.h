#pragma once
// What the address box keeps of a text put into it.
#include <QString>

// The longest address the box takes, in characters: what the browser itself accepts.
inline constexpr int kLongestAddress = 2 * 1024 * 1024;

// An address is one line. As browsers do with pasted text: every run of white space
// that holds a line break (CR or LF) goes, so an address broken over lines is joined
// again, and white space at either end goes. Text without a line break is kept as it is.
QString WithoutLineBreaks(const QString& text);
