#include "engine/page_scripts.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace pagescripts {

namespace {

// A function of page_scripts/, compiled in as a resource: the scripts live in files of
// their own, where a JavaScript formatter and highlighter reach them.
QString Function(const char* name) {
    QFile file(QStringLiteral(":/glimpa/page_scripts/%1.js").arg(QLatin1StringView(name)));
    if (!file.open(QIODevice::ReadOnly)) qFatal("page script %s is not compiled in", name);
    return QString::fromUtf8(file.readAll());
}

// Every script of page_scripts/, read once.
struct Scripts {
    QString prepare = Function("prepare");
    QString settle = Function("settle");
    QString measure = Function("measure");
    QString pin = Function("pin");
    QString scrollPart = Function("scroll_part");
    QString layoutCheck = Function("layout_check");
    QString restore = Function("restore");
    QString pending = Function("pending");
};
const Scripts& Js() {
    static const Scripts scripts;
    return scripts;
}

// "marker value" once settled (the number of the marker painted last or 0, and what
// `after` answered), false until then.
constexpr char kSettled[] =
    "window.glimpaSettle && window.glimpaSettle.done ? "
    "window.glimpaSettle.marker + ' ' + window.glimpaSettle.value : false";

// Ends a settle loop that ran out of time where it stands and does what it left, a
// fresh marker included; answers as Settled() does. Unless forced, a loop still waiting
// for the view's new size to pin goes on and answers false.
constexpr char kStopSettle[] = "window.glimpaSettle ? window.glimpaSettle.stop(%1) : false";

// The page's and the view's heights once the tall view settled; from then on the page
// is watched for what would tear the picture.
constexpr char kHeights[] =
    "function () { window.glimpaCapture.watchLayout();"
    " return document.scrollingElement.scrollHeight + ' ' + innerHeight; }";

// The function called at once with `arguments`, as one expression.
QString Call(const QString& function, const QStringList& arguments) {
    return QStringLiteral("(") + function + QStringLiteral(")(") +
           arguments.join(QStringLiteral(", ")) + QStringLiteral(")");
}

// How long after its load a page that still has work due may lay itself out: the settle
// (settle.js's calmFor) waits that long at most, work due later is not waited for, and a
// page that changed its size within it is asked again.
constexpr char kCalmMs[] = "750";

QString Number(double n) {
    return QString::number(n, 'g', 10);
}

// A text as a JavaScript string literal.
QString Literal(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString SettleCall(int width, double height, int quietFrames, int firstMarker, QRgb avoid,
                   const QString& before, const QString& after) {
    const auto number = [](qint64 n) { return QString::number(n); };
    const auto function = [](const QString& f) { return f.isEmpty() ? QStringLiteral("null") : f; };
    return Call(Js().settle,
                {number(width), Number(height), number(quietFrames), number(firstMarker),
                 number(avoid & 0xffffff), function(before), function(after)});
}

}  // namespace

QString Prepare(const QString& marker, double markerSize, bool still, const QString& userStyle) {
    return Call(Js().prepare,
                {Literal(marker), Number(markerSize),
                 still ? QStringLiteral("true") : QStringLiteral("false"), Literal(userStyle)});
}
QString Matches(const QString& selector) {
    return Call(QStringLiteral("function (s) { try { return document.querySelector(s) ? "
                               "'found' : false; } catch (e) { return 'bad'; } }"),
                {Literal(selector)});
}
QString ElementBox(const QString& selector) {
    return Call(QStringLiteral("function (s) { let el; try { el = document.querySelector(s); }"
                               " catch (e) { return 'bad'; } if (!el) return 'none';"
                               " const r = el.getBoundingClientRect();"
                               " return [r.left + scrollX, r.top + scrollY, r.width, r.height]"
                               ".join(' '); }"),
                {Literal(selector)});
}
QString SettleAndMeasure(int width, int height, bool wait, const QString& scrollElement) {
    const QString measure = QStringLiteral("function () { return (") + Js().measure +
                            QStringLiteral(")(") + Literal(scrollElement) + QStringLiteral("); }");
    return SettleCall(width, height, wait ? 1 : 0, 0, 0, QString(), measure);
}
QString PinAndSettle(int width, double height, bool wait, int firstMarker, QRgb avoid) {
    return SettleCall(width, height, wait ? 2 : 0, firstMarker, avoid, Js().pin,
                      QString::fromLatin1(kHeights));
}
QString SettlePart(int width, double height, bool wait, int firstMarker, QRgb avoid) {
    return SettleCall(width, height, wait ? 2 : 0, firstMarker, avoid, QString(), QString());
}
QRgb MarkerColour(int n) {
    // Multiplying by an odd number is one to one modulo 2^24; the settle script makes the
    // same colours.
    return (0x9e3779u * static_cast<quint32>(n)) & 0xffffff;
}
QString Settled() {
    return QString::fromLatin1(kSettled);
}
QString ScrollPart(int top, int end) {
    return Call(Js().scrollPart, {QString::number(top), QString::number(end)});
}
QString StopSettle(bool force) {
    return QString::fromLatin1(kStopSettle)
        .arg(force ? QStringLiteral("true") : QStringLiteral("false"));
}
QString LayoutCheck(int tall) {
    return Call(Js().layoutCheck, {QString::number(tall), QString::fromLatin1(kCalmMs)});
}
QString Restore() {
    return Call(Js().restore, {});
}
QString PendingWatch() {
    return Call(Js().pending, {QString::fromLatin1(kCalmMs)});
}

}  // namespace pagescripts
