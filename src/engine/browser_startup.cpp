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
    // user.
    AddBrowserFlag("--log-level=3", {"--log-level", "--enable-logging"});
    return root;
}

void AddBrowserFlag(const QByteArray& flag, std::initializer_list<const char*> unlessGiven) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const char* given : unlessGiven)
        if (flags.contains(given)) return;
    flags += flags.isEmpty() ? flag : ' ' + flag;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}
