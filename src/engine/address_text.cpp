#include "engine/address_text.h"

namespace {

bool IsBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

}  // namespace

QString WithoutLineBreaks(const QString& text) {
    if (!text.contains(u'\r') && !text.contains(u'\n')) return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (!text[i].isSpace()) {
            out += text[i++];
            continue;
        }
        qsizetype end = i;
        bool hasBreak = false;
        while (end < text.size() && text[end].isSpace()) hasBreak |= IsBreak(text[end++]);
        if (!hasBreak) out += QStringView(text).mid(i, end - i);
        i = end;
    }
    return out.trimmed();
}
