#include "engine/capture_page.h"

#include <QWebEngineProfile>

#include "engine/page_safety.h"

namespace {

// The text the browser asks a page's leave-the-page question with; it comes through the
// confirm dialog.
constexpr char kLeaveQuestion[] =
    "Are you sure you want to leave this page? Changes that you made may not be saved.";

}  // namespace

CapturePage::CapturePage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile ? profile : QWebEngineProfile::defaultProfile(), parent) {
    ConfineLocalPages(*this);
    // A page's print() shows nothing and waits for nothing: nobody listens to
    // printRequested.
}

void CapturePage::SetCapturing(bool capturing) {
    capturing_ = capturing;
    if (!capturing) guard_ = false;
}

void CapturePage::GuardNavigation(bool guard) {
    guard_ = guard;
}

void CapturePage::javaScriptAlert(const QUrl& origin, const QString& message) {
    if (!capturing_) return QWebEnginePage::javaScriptAlert(origin, message);
    Q_EMIT DialogAnswered(tr("alert \"%1\" answered OK").arg(message));
}

bool CapturePage::javaScriptConfirm(const QUrl& origin, const QString& message) {
    if (!capturing_) return QWebEnginePage::javaScriptConfirm(origin, message);
    // Leaving is never held up by the page.
    if (message == QLatin1String(kLeaveQuestion)) return true;
    Q_EMIT DialogAnswered(tr("confirm \"%1\" answered Cancel").arg(message));
    return false;
}

bool CapturePage::javaScriptPrompt(const QUrl& origin, const QString& message, const QString& value,
                                   QString* result) {
    if (!capturing_) return QWebEnginePage::javaScriptPrompt(origin, message, value, result);
    Q_EMIT DialogAnswered(tr("prompt \"%1\" answered with an empty text").arg(message));
    if (result) result->clear();
    return true;
}

bool CapturePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool mainFrame) {
    if (guard_ && mainFrame) {
        Q_EMIT NavigatedAway(url);
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, mainFrame);
}
