#include "capture/browser_rendering.h"

#include <QQuickWindow>
#include <QSGRendererInterface>

void DrawBrowserInMemory() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
