// The first line of url.txt or rows.txt from any bytes, read through a limit.
#include <QBuffer>
#include <cstdint>

#include "files/sequential_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks a limit, small enough to fall inside the rest at times.
    const qint64 limit = data[0] + 1;
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const auto line = LineInputFirst(device, limit);

    const QByteArray seen = bytes.left(limit);
    FUZZ_CHECK(line.has_value() == !seen.isEmpty());
    if (!line) return 0;
    qsizetype end = 0;
    while (end < seen.size() && seen[end] != '\r' && seen[end] != '\n') ++end;
    FUZZ_CHECK(*line == SettingsText(seen.left(end)));
    return 0;
}
