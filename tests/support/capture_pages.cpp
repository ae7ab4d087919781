#include "support/capture_pages.h"

#include <QFile>
#include <QUrl>

#include "files/program_folder.h"

namespace capturepages {

QColor BandColor(int index) {
    return QColor(index & 0xff, (index >> 8) & 0xff, 0x5a);
}

QColor HeaderColor() {
    return QColor(200, 0, 0);
}

QString FixedHeader(int rows) {
    return QStringLiteral(
               "<header style='position:fixed;top:0;left:0;width:100%;height:%1px;"
               "background:%2'></header>")
        .arg(rows)
        .arg(HeaderColor().name());
}

QString EndlessPage() {
    return QStringLiteral(
        "<!doctype html><html><body style='margin:0'><script>let n = 0;"
        "setInterval(() => { const d = document.createElement('div');"
        "d.style.cssText = 'height:1000px;background:' + (n++ % 2 ? "
        "'#00ff00' : '#0000ff'); document.body.appendChild(d); }, 50);"
        "</script></body></html>");
}

QString BandsPage(int rows, int header) {
    QString page = QStringLiteral(
        "<!doctype html><html><head><style>html{overflow:hidden}body{margin:0}"
        "div{height:1px}</style></head><body>");
    if (header > 0) page += FixedHeader(header);
    for (int i = 0; i < rows; ++i)
        page += QStringLiteral("<div style='background:%1'></div>").arg(BandColor(i).name());
    return page + QStringLiteral("</body></html>");
}

QString LazyPage(int height, const LazyImage& native, const LazyImage& scripted) {
    auto style = [](const QRect& r) {
        return QStringLiteral("position:absolute;left:%1px;top:%2px;width:%3px;height:%4px")
            .arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height());
    };
    return QStringLiteral(
               "<!doctype html><html><head><style>html{overflow:hidden}body{margin:0;"
               "height:%1px;background:white}</style></head><body>"
               "<img loading='lazy' src='%2' style='%3'>"
               "<img id='later' data-src='%4' style='%5'>"
               "<script>const later = document.getElementById('later');"
               "new IntersectionObserver((seen, observer) => {"
               "  if (!seen.some((e) => e.isIntersecting)) return;"
               "  later.src = later.dataset.src; observer.disconnect();"
               "}).observe(later);</script></body></html>")
        .arg(height)
        .arg(native.file, style(native.place), scripted.file, style(scripted.place));
}

QString WritePage(const QString& name, const QString& text) {
    const QString path = AppFile(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(text.toUtf8());
    return QUrl::fromLocalFile(path).toString();
}

}  // namespace capturepages
