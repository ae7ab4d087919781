#include "platform/sequential_file.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

bool PrintLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += line.toLocal8Bit() + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

namespace {
std::optional<QByteArray> ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}
}  // namespace

std::optional<QString> LineInputFirst(const QString& path) {
    const auto bytes = ReadAll(path);
    if (!bytes || bytes->isEmpty()) return std::nullopt;
    qsizetype end = 0;
    while (end < bytes->size() && bytes->at(end) != '\r' && bytes->at(end) != '\n') ++end;
    return QString::fromLocal8Bit(bytes->left(end));
}

std::optional<QStringList> InputValues(const QString& path, int count) {
    const auto bytes = ReadAll(path);
    if (!bytes) return std::nullopt;
    static const QRegularExpression separators(QStringLiteral("[ \\t\\r\\n,]+"));
    const QStringList values = QString::fromLocal8Bit(*bytes).split(separators, Qt::SkipEmptyParts);
    if (values.size() < count) return std::nullopt;
    return values.mid(0, count);
}

std::optional<float> ToSingle(const QString& value) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?$"));
    if (!number.match(value).hasMatch()) return std::nullopt;
    QString text = value;
    text.replace(u'd', u'e').replace(u'D', u'e');
    bool ok = false;
    const double parsed = text.toDouble(&ok);
    if (!ok) return std::nullopt;
    return static_cast<float>(parsed);
}
