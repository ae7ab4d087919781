#include "engine/page_safety.h"

#include <QFileInfo>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace {

bool IsHtmlDocument(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile()) return false;
    const QString ending = file.suffix().toLower();
    return ending == u"htm" || ending == u"html" || ending == u"xhtml" || ending == u"mht" ||
           ending == u"mhtml";
}

class LocalFileGuard : public QWebEngineUrlRequestInterceptor {
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (!info.requestUrl().isLocalFile()) return;
        using Info = QWebEngineUrlRequestInfo;
        switch (info.resourceType()) {
            case Info::ResourceTypeMainFrame:
            case Info::ResourceTypeStylesheet:
            case Info::ResourceTypeScript:
            case Info::ResourceTypeImage:
            case Info::ResourceTypeFontResource:
            case Info::ResourceTypeMedia:
            case Info::ResourceTypeFavicon:
                return;
            case Info::ResourceTypeSubFrame:
                info.block(!IsHtmlDocument(info.requestUrl().toLocalFile()));
                return;
            default:
                info.block(true);
                return;
        }
    }
};

}  // namespace

void ConfineLocalPages(QWebEnginePage& page) {
    if (page.findChild<LocalFileGuard*>(QString(), Qt::FindDirectChildrenOnly)) return;
    page.setUrlRequestInterceptor(new LocalFileGuard(&page));
}
