#include "shot/page_console.h"

QString PageConsoleLine(const QString& message) {
    return QStringLiteral("glimpa-shot: page says: ") + PageText(message);
}

QString PageText(const QString& message) {
    QString line;
    line.reserve(message.size());
    for (const QChar c : message) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            line += QStringLiteral("\\\\");
        else if (u == u'\n')
            line += QStringLiteral("\\n");
        else if (u == u'\t')
            line += QStringLiteral("\\t");
        else if (u == u'\r')
            line += QStringLiteral("\\r");
        // Controls, and the characters that reorder or break what a terminal shows.
        else if (u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x200e || u == 0x200f ||
                 (u >= 0x2028 && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069))
            line += QStringLiteral("\\u{%1}").arg(QString::number(u, 16).toUpper());
        else
            line += c;
    }
    return line;
}

std::optional<QString> PageConsoleLimit::Take(const QString& message, qint64 nowMs) {
    const qint64 second = nowMs / 1000;
    QString lines;
    if (second != second_) {
        lines = LeftOut();
        second_ = second;
        shown_ = 0;
    }
    if (shown_ >= kLinesPerSecond) {
        ++leftOut_;
        return std::nullopt;
    }
    ++shown_;
    if (!lines.isEmpty()) lines += u'\n';
    return lines + PageConsoleLine(message);
}

QString PageConsoleLimit::LeftOut() {
    if (leftOut_ == 0) return QString();
    const QString note =
        QStringLiteral("glimpa-shot: %1 more lines of the page's console not shown").arg(leftOut_);
    leftOut_ = 0;
    return note;
}
