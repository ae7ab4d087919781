#include "files/sequential_file.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <cmath>

#include "files/regular_file.h"
#include "files/replace_file.h"

Outcome PrintLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
    return ReplaceFileWith(path, bytes, ReplaceFile::Kind::Own);
}

namespace {

constexpr qint64 kChunk = 64 * 1024;

// Settings are UTF-8 whatever the locale; a file from before, in an 8-bit code page,
// holds bytes that are no UTF-8 and reads as Latin-1 instead.
QString SettingText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) return QString::fromLatin1(bytes);
    return text;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',';
}

}  // namespace

std::optional<QString> LineInputFirst(QIODevice& device, qint64 limit) {
    QByteArray bytes;
    qsizetype end = 0;
    for (;;) {
        const qint64 want = std::min(kChunk, limit - bytes.size());
        if (want <= 0) break;  // what lies past the limit is not read
        const QByteArray chunk = device.read(want);
        if (chunk.isEmpty()) break;  // end of file (or an error: what was read stands)
        bytes += chunk;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        if (end < bytes.size()) break;
    }
    if (bytes.isEmpty()) return std::nullopt;
    return SettingText(bytes.left(end));
}

std::optional<QString> LineInputFirst(const QString& path, qint64 limit) {
    const RegularFile opened = OpenRegularFile(path, limit);
    if (!opened.file) return std::nullopt;
    return LineInputFirst(*opened.file, limit);
}

std::optional<QStringList> InputValues(QIODevice& device, int count, qint64 limit) {
    QStringList values;
    QByteArray pending;  // the value being read, which a later chunk may continue
    qint64 total = 0;
    while (values.size() < count) {
        const qint64 want = std::min(kChunk, limit - total);
        const QByteArray chunk = want > 0 ? device.read(want) : QByteArray();
        total += chunk.size();
        if (chunk.isEmpty()) {
            // The last value ends with the file.
            if (!pending.isEmpty()) values << SettingText(pending);
            break;
        }
        for (char c : chunk) {
            if (!IsSeparator(c)) {
                pending += c;
                continue;
            }
            if (pending.isEmpty()) continue;
            values << SettingText(pending);
            pending.clear();
            if (values.size() == count) break;
        }
    }
    if (values.size() < count) return std::nullopt;
    return values;
}

std::optional<QStringList> InputValues(const QString& path, int count, qint64 limit) {
    const RegularFile opened = OpenRegularFile(path, limit);
    if (!opened.file) return std::nullopt;
    return InputValues(*opened.file, count, limit);
}

std::optional<float> ToSingle(const QString& value) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?$"));
    if (!number.match(value).hasMatch()) return std::nullopt;
    QString text = value;
    text.replace(u'd', u'e').replace(u'D', u'e');
    bool ok = false;
    // QString::toDouble reads "." whatever the locale.
    const double parsed = text.toDouble(&ok);
    if (!ok || !std::isfinite(parsed)) return std::nullopt;
    if (std::fabs(parsed) > double(std::numeric_limits<float>::max())) return std::nullopt;
    return static_cast<float>(parsed);
}
