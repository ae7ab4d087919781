#include "desktop/web_browser.h"

#include <QFileInfo>
#include <QUrl>

#include "engine/capture_page.h"

WebBrowser::WebBrowser(QWidget* parent) : Twipped<QWebEngineView>(parent) {
    // The page the user browses to is the page the capture takes: the same rules, and
    // the same answers to its dialogs while a capture runs.
    setPage(new CapturePage(nullptr, this));
}

void WebBrowser::Navigate(const QString& address) {
    // The address goes to the browser unchanged: no scheme is added, nothing checked.
    // Only a "file://" address naming an existing file is taken as a plain path, so a
    // file whose name holds "#", "?" or "%" opens rather than being read as an address.
    const QString prefix = QStringLiteral("file://");
    if (address.startsWith(prefix) && QFileInfo(address.mid(prefix.size())).isFile()) {
        load(QUrl::fromLocalFile(address.mid(prefix.size())));
        return;
    }
    load(QUrl(address));
}
