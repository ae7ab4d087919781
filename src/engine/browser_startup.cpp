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
    return root;
}
