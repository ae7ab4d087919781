#include "shot/memory_budget.h"

#include <unistd.h>

#include <QFile>
#include <algorithm>

namespace {

// The memory limit of the control group this process runs in (a container's), when one
// is set: version 2's memory.max, else version 1's limit.
qint64 GroupLimit() {
    for (const char* name :
         {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
        QFile file(QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        bool ok = false;
        const qint64 limit = file.readAll().trimmed().toLongLong(&ok);
        if (ok && limit > 0) return limit;
    }
    return 0;
}

}  // namespace

qint64 DefaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long size = ::sysconf(_SC_PAGESIZE);
    // A machine that does not say gets what a small one has.
    qint64 memory = pages > 0 && size > 0 ? qint64{pages} * size : qint64{4} << 30;
    if (const qint64 group = GroupLimit(); group > 0) memory = std::min(memory, group);
    return memory / 2;
}

qint64 RowsWithinBudget(qint64 budget, int width, int jobs, bool batch) {
    const qint64 perRow = qint64{std::max(1, width)} * kBytesPerPicturePixel;
    const int pictures = std::max(1, jobs) + (batch ? 1 : 0);
    return std::max<qint64>(0, budget / perRow / pictures);
}
