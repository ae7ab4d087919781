#pragma once
#include <QWidget>

// A window in front of the program's other windows, and the one that takes the keys.
inline void BringForward(QWidget& window) {
    window.raise();
    window.activateWindow();
}
