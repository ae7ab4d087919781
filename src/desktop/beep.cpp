#include "desktop/beep.h"

#include <QApplication>
#include <atomic>

namespace {
std::atomic<int> beeps{0};
}

void Beep() {
    ++beeps;
    QApplication::beep();
}

int BeepCount() {
    return beeps;
}
