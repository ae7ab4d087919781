#pragma once
// The embedded browser control: navigates to one address and takes the place and
// size it is given, laying the page out in a view of that size.
#include <QWebEngineView>

#include "desktop/twipped.h"

class WebBrowser : public Twipped<QWebEngineView> {
    Q_OBJECT
  public:
    explicit WebBrowser(QWidget* parent);

    // Opens the address as given; the outcome is never looked at.
    void Navigate(const QString& address);
};
