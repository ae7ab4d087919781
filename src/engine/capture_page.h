#pragma once
// The page every view of the program browses with. While a capture runs it answers the
// page's dialogs as a browser without a user would (alert OK, confirm Cancel, prompt
// empty, leaving the page allowed) and tells what it answered, and it keeps the main
// frame on the document being taken: a navigation is refused and reported, so a picture
// never holds two documents. Outside a capture it is an ordinary page.
#include <QUrl>
#include <QWebEnginePage>

class CapturePage : public QWebEnginePage {
    Q_OBJECT
  public:
    explicit CapturePage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // During a capture: dialogs answered, and from `guard` on the main frame held.
    void SetCapturing(bool capturing);
    void GuardNavigation(bool guard);

  Q_SIGNALS:
    // One line for the user: which dialog, its text, what it was answered.
    void DialogAnswered(const QString& line);
    // The page tried to go to `address` while it was being taken.
    void NavigatedAway(const QUrl& address);

  protected:
    void javaScriptAlert(const QUrl& origin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& value,
                          QString* result) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool mainFrame) override;

  private:
    bool capturing_ = false;
    bool guard_ = false;
};
