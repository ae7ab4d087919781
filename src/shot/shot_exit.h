#pragma once
// The exit statuses of glimpa-shot, one per way a run ends.
#include <vector>

enum class ShotExit : int {
    Written = 0,
    BadUsage = 2,
    LoadFailed = 3,
    NotSettled = 4,      // written as the page then stood
    CutAtMaxHeight = 5,  // written down to --max-height (or across to --max-width)
    WriteFailed = 6,
    HttpError = 7,  // written, but the server answered with an error status
    NoMatch = 8,    // nothing matches the selector; nothing is written
};

// A page failed when nothing was written for it; a warning still leaves a picture.
constexpr bool Failed(ShotExit e) {
    return e == ShotExit::BadUsage || e == ShotExit::LoadFailed || e == ShotExit::WriteFailed ||
           e == ShotExit::NoMatch;
}

// The status of a batch, its pages in batch order: the first failure if any page failed,
// else the first warning, else Written.
ShotExit BatchExit(const std::vector<ShotExit>& pages);
