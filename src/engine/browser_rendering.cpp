#include "engine/browser_rendering.h"

#include <unistd.h>

#include <QQuickWindow>
#include <QSGRendererInterface>

void DrawBrowserInMemory() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

bool TurnSandboxOffAsRoot() {
    if (geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) return false;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
    return true;
}
