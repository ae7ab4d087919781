#include "desktop/end_program.h"

#include <cstdio>
#include <cstdlib>

namespace {
std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}
}  // namespace

void End() {
    if (Handler()) {
        Handler()();
        return;
    }
    std::fflush(nullptr);
    std::_Exit(0);
}

void SetEndHandler(std::function<void()> handler) {
    Handler() = std::move(handler);
}
