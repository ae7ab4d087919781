// The four values of barpos.txt from any bytes, read through a limit, and each one as
// a place.
#include <QBuffer>
#include <QList>
#include <cmath>
#include <cstdint>

#include "files/sequential_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const qint64 limit = data[0] * 4 + 1;
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const auto values = InputValues(device, 4, limit);

    // The same split of everything within the limit at once.
    QList<QByteArray> expected;
    QByteArray current;
    for (char c : bytes.left(limit)) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
            if (!current.isEmpty()) expected << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty()) expected << current;
    FUZZ_CHECK(values.has_value() == (expected.size() >= 4));
    if (!values) return 0;
    FUZZ_CHECK(values->size() == 4);
    for (int i = 0; i < 4; ++i) {
        FUZZ_CHECK(values->at(i) == SettingsText(expected[i]));
        if (const auto place = ToSingle(values->at(i))) FUZZ_CHECK(std::isfinite(*place));
    }
    return 0;
}
