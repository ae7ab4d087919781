#include "shot/shot_exit.h"

#include <algorithm>

ShotExit BatchExit(const std::vector<ShotExit>& pages) {
    const auto failed = std::find_if(pages.begin(), pages.end(), Failed);
    if (failed != pages.end()) return *failed;
    const auto warned =
        std::find_if(pages.begin(), pages.end(), [](ShotExit e) { return e != ShotExit::Written; });
    return warned != pages.end() ? *warned : ShotExit::Written;
}
