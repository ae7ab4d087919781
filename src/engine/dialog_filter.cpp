#include "engine/dialog_filter.h"

QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& piece : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString pattern = piece.trimmed();
            if (pattern.isEmpty()) continue;
            patterns << (pattern == u"*.*" ? QStringLiteral("*") : pattern);
        }
        QString description = parts[i].trimmed();
        const qsizetype open = description.lastIndexOf(u'(');
        if (description.endsWith(u')') && open >= 0) description = description.left(open).trimmed();
        out << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return out;
}
