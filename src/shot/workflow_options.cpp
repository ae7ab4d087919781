#include "shot/workflow_options.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <cmath>
#include <tuple>

#include "files/regular_file.h"
#include "shot/option_values.h"
#include "shot/shot_options.h"

namespace {

constexpr qint64 kLargestOptionFile = 1 << 20;
constexpr int kMostPadding = 10000;
constexpr int kLongestDelayMs = 600000;
constexpr double kFarthestClip = 1e7;

bool HasControl(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}

}  // namespace

QString OptionText(const QString& value, QString* error) {
    if (!value.startsWith(u'@')) return value;
    const RegularFile file = OpenRegularFileOrPipe(value.mid(1), kLargestOptionFile);
    if (!file.file) {
        *error = QStringLiteral("cannot read %1: %2").arg(value.mid(1), file.reason);
        return {};
    }
    const QByteArray bytes = file.file->read(kLargestOptionFile + 1);
    if (bytes.size() > kLargestOptionFile) {
        *error = QStringLiteral("%1 is larger than 1 MiB").arg(value.mid(1));
        return {};
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError()) *error = QStringLiteral("%1 is not UTF-8 text").arg(value.mid(1));
    return text;
}

void WorkflowOptions::AddTo(QCommandLineParser& parser) const {
    parser.addOptions({selector,    padding,       clip,   hide,   remove,  style,     script,
                       waitFor,     delay,         header, cookie, cookies, userAgent, auth,
                       colorScheme, reducedMotion, format, json,   shard,   pdfPage});
}

QString WorkflowOptions::Read(const QCommandLineParser& parser, ShotOptions& o) const {
    const auto selectorOf = [&](const QCommandLineOption& option, const char* name,
                                QString& into) -> QString {
        if (!parser.isSet(option)) return {};
        into = parser.value(option).trimmed();
        if (into.isEmpty())
            return QStringLiteral("--%1: no selector given").arg(QLatin1String(name));
        return {};
    };
    if (QString e = selectorOf(selector, "selector", o.selector); !e.isEmpty()) return e;
    if (QString e = selectorOf(waitFor, "wait-for", o.waitFor); !e.isEmpty()) return e;
    if (parser.isSet(padding)) {
        const auto v = WholeIn(parser.value(padding), 0, kMostPadding);
        if (!v)
            return Bad(
                "padding", parser.value(padding),
                QStringLiteral("a whole number of CSS pixels from 0 to %1").arg(kMostPadding));
        o.padding = *v;
    }
    if (parser.isSet(clip)) {
        const QStringList parts = parser.value(clip).split(u',');
        double v[4] = {};
        bool ok = parts.size() == 4;
        for (int i = 0; ok && i < 4; ++i) {
            v[i] = parts[i].trimmed().toDouble(&ok);
            ok = ok && std::isfinite(v[i]) && v[i] >= 0 && v[i] <= kFarthestClip;
        }
        if (!ok || v[2] <= 0 || v[3] <= 0)
            return Bad("clip", parser.value(clip),
                       QStringLiteral("X,Y,W,H in CSS pixels, none negative, W and H above 0"));
        o.clip = QRectF(v[0], v[1], v[2], v[3]);
    }
    for (const auto& [option, name, into] :
         {std::tuple{&hide, "hide", &o.hide}, std::tuple{&remove, "remove", &o.remove}}) {
        for (const QString& value : parser.values(*option)) {
            if (value.trimmed().isEmpty())
                return QStringLiteral("--%1: no selector given").arg(QLatin1String(name));
            // It goes into a style sheet: a brace would end its rule and start others.
            if (value.contains(u'{') || value.contains(u'}') || value.contains(u';'))
                return QStringLiteral("--%1: '%2' is no selector").arg(QLatin1String(name), value);
            *into << value.trimmed();
        }
    }
    for (const auto& [option, name, into] :
         {std::tuple{&style, "style", &o.styles}, std::tuple{&script, "script", &o.scripts}}) {
        for (const QString& value : parser.values(*option)) {
            QString error;
            const QString text = OptionText(value, &error);
            if (!error.isEmpty()) return QStringLiteral("--%1: %2").arg(QLatin1String(name), error);
            *into << text;
        }
    }
    if (parser.isSet(delay)) {
        const auto v = WholeIn(parser.value(delay), 0, kLongestDelayMs);
        if (!v)
            return Bad(
                "delay", parser.value(delay),
                QStringLiteral("a whole number of milliseconds from 0 to %1").arg(kLongestDelayMs));
        o.delayMs = *v;
    }
    // A header's name is a token; its value one line. The browser sets some itself.
    static const QRegularExpression token(QStringLiteral("^[!#$%&'*+.^_`|~0-9A-Za-z-]+$"));
    for (const QString& value : parser.values(header)) {
        const qsizetype colon = value.indexOf(u':');
        const QString name = value.left(colon).trimmed();
        const QString text = value.mid(colon + 1).trimmed();
        if (colon < 0 || !token.match(name).hasMatch() || HasControl(text))
            return Bad("header", value, QStringLiteral("'Name: value' on one line"));
        o.headers.push_back({name.toLatin1(), text.toUtf8()});
    }
    static const QRegularExpression cookieName(QStringLiteral("^[^\\s;,=\\x00-\\x1f\\x7f]+$"));
    for (const QString& value : parser.values(cookie)) {
        const qsizetype equals = value.indexOf(u'=');
        if (equals <= 0 || !cookieName.match(value.left(equals)).hasMatch() || HasControl(value) ||
            value.mid(equals + 1).contains(u';'))
            return Bad("cookie", value, QStringLiteral("NAME=VALUE"));
        o.cookies << value;
    }
    if (parser.isSet(cookies)) {
        o.cookiesFile = parser.value(cookies);
        if (o.cookiesFile.isEmpty()) return QStringLiteral("--cookies: no file named");
    }
    if (parser.isSet(userAgent)) {
        o.userAgent = parser.value(userAgent).trimmed();
        if (o.userAgent.isEmpty() || HasControl(o.userAgent))
            return Bad("user-agent", parser.value(userAgent), QStringLiteral("a line of text"));
    }
    if (parser.isSet(auth)) {
        const QString value = parser.value(auth);
        const qsizetype colon = value.indexOf(u':');
        if (colon <= 0 || HasControl(value)) return Bad("auth", value, QStringLiteral("USER:PASS"));
        o.authUser = value.left(colon);
        o.authPassword = value.mid(colon + 1);
    }
    if (parser.isSet(colorScheme)) {
        o.colorScheme = parser.value(colorScheme);
        if (o.colorScheme != u"light" && o.colorScheme != u"dark")
            return Bad("color-scheme", o.colorScheme, QStringLiteral("'light' or 'dark'"));
    }
    o.reducedMotion = parser.isSet(reducedMotion);
    if (parser.isSet(format)) o.format = parser.value(format).trimmed().toLower();
    o.json = parser.isSet(json);
    if (parser.isSet(pdfPage)) {
        o.pdfPage = parser.value(pdfPage).trimmed().toLower();
        if (o.pdfPage != u"a4" && o.pdfPage != u"letter")
            return Bad("pdf-page", parser.value(pdfPage), QStringLiteral("'a4' or 'letter'"));
    }
    if (parser.isSet(shard)) {
        static const QRegularExpression kOfN(QStringLiteral("^\\s*(\\d{1,6})/(\\d{1,6})\\s*$"));
        const QRegularExpressionMatch m = kOfN.match(parser.value(shard));
        o.shard = m.hasMatch() ? m.captured(1).toInt() : 0;
        o.shards = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (o.shard < 1 || o.shard > o.shards)
            return Bad("shard", parser.value(shard),
                       QStringLiteral("K/N with 1 <= K <= N, e.g. 2/8"));
    }
    return {};
}
