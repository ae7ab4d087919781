#include "engine/browser_startup.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>

bool StartBrowser() {
    const bool root = geteuid() == 0;
    if (root && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND") &&
        !qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The browser's own log lines ("tile memory limits exceeded") are no news for the
    // user; flags of the user's own that ask for them win.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--log-level") && !flags.contains("--enable-logging")) {
        flags += flags.isEmpty() ? "--log-level=3" : " --log-level=3";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
    return root;
}
