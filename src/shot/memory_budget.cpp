#include "shot/memory_budget.h"

#include <unistd.h>

#include <algorithm>

qint64 DefaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long size = ::sysconf(_SC_PAGESIZE);
    // A machine that does not say gets what a small one has.
    if (pages <= 0 || size <= 0) return qint64{2} << 30;
    return qint64{pages} * size / 2;
}

qint64 RowsWithinBudget(qint64 budget, int width, int jobs) {
    const qint64 perRow = qint64{std::max(1, width)} * kBytesPerPicturePixel;
    return std::max<qint64>(0, budget / perRow / (std::max(1, jobs) + 1));
}
