// glimpa-shot's batch file from any text: a list of pages or one reason, never both, and
// the pages it gives are ones the runner can take.
#include <QDir>
#include <QSet>
#include <cstdint>

#include "formats/picture_file.h"
#include "fuzz_check.h"
#include "shot/batch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const BatchList list = ParseBatchText(QString::fromUtf8(bytes), QStringLiteral("/w"));
    FUZZ_CHECK(list.pages.empty() != list.error.isEmpty());
    QSet<QString> outputs;
    int line = 0;
    for (const BatchPage& page : list.pages) {
        FUZZ_CHECK(page.line > line);
        line = page.line;
        FUZZ_CHECK(page.address.isValid());
        FUZZ_CHECK(PictureFormatForPath(page.output).has_value());
        FUZZ_CHECK(QDir::isAbsolutePath(page.output));
        // No name reaches the system cut short by a control character, and no two lines
        // write one file.
        for (const QChar c : page.output) FUZZ_CHECK(c >= u' ' && c != u'\x7f');
        FUZZ_CHECK(!outputs.contains(page.output));
        outputs.insert(page.output);
    }
    return 0;
}
