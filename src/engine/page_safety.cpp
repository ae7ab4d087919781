#include "engine/page_safety.h"

#include <QFileInfo>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace {

// What a page may show of another local file: a document, a picture or a PDF, whichever
// name the link gives it. A script may read a document it frames, so text, data and
// folders are never shown there.
bool Showable(const QString& path) {
    const QFileInfo file(QFileInfo(path).canonicalFilePath());
    if (!file.isFile()) return false;
    static const QStringList kEndings{
        QStringLiteral("htm"),   QStringLiteral("html"), QStringLiteral("xhtml"),
        QStringLiteral("shtml"), QStringLiteral("mht"),  QStringLiteral("mhtml"),
        QStringLiteral("svg"),   QStringLiteral("png"),  QStringLiteral("jpg"),
        QStringLiteral("jpeg"),  QStringLiteral("gif"),  QStringLiteral("webp"),
        QStringLiteral("bmp"),   QStringLiteral("ico"),  QStringLiteral("pdf")};
    const QString ending = file.suffix().toLower();
    return kEndings.contains(ending) && kEndings.contains(QFileInfo(path).suffix().toLower());
}

class LocalFileGuard : public QWebEngineUrlRequestInterceptor {
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    QList<std::pair<QByteArray, QByteArray>> headers;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (!info.requestUrl().isLocalFile()) {
            for (const auto& [name, value] : headers) info.setHttpHeader(name, value);
            return;
        }
        using Info = QWebEngineUrlRequestInfo;
        switch (info.resourceType()) {
            case Info::ResourceTypeMainFrame:
                // What the user opened is opened; where a page sends itself (a link, a
                // script, a refresh) only a document is shown.
                if (info.navigationType() == Info::NavigationTypeTyped ||
                    info.navigationType() == Info::NavigationTypeReload ||
                    info.navigationType() == Info::NavigationTypeBackForward)
                    return;
                info.block(!Showable(info.requestUrl().toLocalFile()));
                return;
            case Info::ResourceTypeStylesheet:
            case Info::ResourceTypeScript:
            case Info::ResourceTypeImage:
            case Info::ResourceTypeFontResource:
            case Info::ResourceTypeMedia:
            case Info::ResourceTypeFavicon:
            case Info::ResourceTypeWorker:
            case Info::ResourceTypeSharedWorker:
                return;
            case Info::ResourceTypeSubFrame:
            case Info::ResourceTypeObject:
                info.block(!Showable(info.requestUrl().toLocalFile()));
                return;
            default:
                // fetch and XMLHttpRequest among them: what a script would read.
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

void SetRequestHeaders(QWebEnginePage& page, QList<std::pair<QByteArray, QByteArray>> headers) {
    ConfineLocalPages(page);
    auto* guard = page.findChild<LocalFileGuard*>(QString(), Qt::FindDirectChildrenOnly);
    if (guard) guard->headers = std::move(headers);
}
