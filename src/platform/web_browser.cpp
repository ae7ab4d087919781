#include "platform/web_browser.h"

#include <QUrl>

WebBrowser::WebBrowser(QWidget* parent) : Twipped<QWebEngineView>(parent) {}

void WebBrowser::Navigate(const QString& address) {
    // The address goes to the browser unchanged: no scheme is added, nothing checked.
    load(QUrl(address));
}
