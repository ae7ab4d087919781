#include "desktop/mouse_pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace {
int current = kPointerDefault;
}

void SetScreenMousePointer(int pointer) {
    if (pointer == current) return;
    if (current == kPointerHourglass) QGuiApplication::restoreOverrideCursor();
    if (pointer == kPointerHourglass) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    current = pointer;
}

int ScreenMousePointer() {
    return current;
}
