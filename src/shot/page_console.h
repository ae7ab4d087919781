#pragma once
// What a page writes to its console, shown with --console only: marked as the page's,
// one line a message with control characters escaped (so a page can neither colour the
// terminal nor pass a line off as glimpa-shot's own), and at most so many lines a second.
#include <QString>
#include <optional>

// "glimpa-shot: page says: " and the message, every character below U+0020, U+007F,
// U+0080 to U+009F, and the line separators and direction marks and overrides (U+200E,
// U+200F, U+2028 to U+202E, U+2066 to U+2069) written as \n, \t, \r or \u{XX}, and
// backslashes doubled.
QString PageConsoleLine(const QString& message);
// The message alone, escaped the same way: for any text a page chose (a dialog's, an
// address it went to) in a line of ours.
QString PageText(const QString& message);

class PageConsoleLimit {
  public:
    static constexpr int kLinesPerSecond = 50;

    // The lines to print for a message at `nowMs`: the message's own, after a note of the
    // lines left out in the second before when there were any; nothing while this second
    // has had its share.
    std::optional<QString> Take(const QString& message, qint64 nowMs);

    // A note of the lines left out since the last one printed; empty when none were.
    QString LeftOut();

  private:
    qint64 second_ = -1;
    int shown_ = 0;
    int leftOut_ = 0;
};
