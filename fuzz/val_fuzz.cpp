// Val on any text, and the print-then-read round trip of the bar places.
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/print_number.h"
#include "engine/val.h"
#include "files/sequential_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double value = Val(text);
    FUZZ_CHECK(!std::isnan(value));

    // The first four bytes as a single: printed, it reads back within seven digits,
    // and a place that is not finite never reads back as a place.
    if (size >= 4) {
        float place;
        std::memcpy(&place, data, 4);
        const QString printed = PrintNumber(place);
        FUZZ_CHECK(!printed.contains(u','));
        const auto back = ToSingle(printed.trimmed());
        if (!std::isfinite(place)) {
            FUZZ_CHECK(std::isnan(place) ? back && *back == 0 : !back);
        } else {
            FUZZ_CHECK(back.has_value());
            FUZZ_CHECK(std::fabs(*back - place) <= std::fabs(place) * 1e-6f);
            FUZZ_CHECK(std::fabs(Val(printed) - double(place)) <= std::fabs(place) * 1e-6);
        }
    }
    return 0;
}
