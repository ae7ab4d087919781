// glimpa-shot's command line from any arguments (NUL-separated bytes): options within
// their stated ranges, or one reason, never both.
#include <QStringList>
#include <cmath>
#include <cstdint>

#include "fuzz_check.h"
#include "shot/shot_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList arguments;
    for (const QByteArray& part : bytes.split('\0')) arguments << QString::fromUtf8(part);
    const ParsedShotOptions parsed = ParseShotOptions(arguments);
    FUZZ_CHECK(parsed.options.has_value() == parsed.error.isEmpty());
    if (!parsed.options || parsed.options->action != ShotAction::Shoot) return 0;
    const ShotOptions& o = *parsed.options;
    FUZZ_CHECK(o.width >= 16 && o.width <= 16384);
    FUZZ_CHECK(o.height >= 16 && o.height <= 16384);
    FUZZ_CHECK(std::isfinite(o.screens) && o.screens >= 0 && o.screens <= 100000);
    FUZZ_CHECK(std::isfinite(o.scale) && o.scale >= 0.25 && o.scale <= 5);
    FUZZ_CHECK(o.quality >= 1 && o.quality <= 100);
    FUZZ_CHECK(o.maxHeight >= 1 && o.maxHeight <= 1000000);
    FUZZ_CHECK(std::isfinite(o.timeoutSeconds) && o.timeoutSeconds > 0);
    FUZZ_CHECK(o.jobs >= 1 && o.jobs <= 16);
    // One page from the command line, or a batch from a file; the page's address is one
    // the runner can load.
    FUZZ_CHECK(o.batchFile.isEmpty() != o.output.isEmpty());
    if (o.batchFile.isEmpty()) FUZZ_CHECK(AddressToUrl(o.address, QStringLiteral("/w")));
    return 0;
}
