#pragma once
// The JPEG save without its window: the library calls in their order, from the
// bitmap file to the JPEG file, and the message each outcome shows.
#include <QString>
#include <optional>

#include "formats/jpeg_library.h"

// The pixel buffer of the last save, held until the next save (or the end).
struct JpgBuffer {
    ISHandle JpgImage = 0;
    int JpgWidth = 0;
    int JpgHeight = 0;
};

enum class JpgSaveResult { NoSource, CannotCreate, WriteFailed, Written };

// Releases the earlier buffer, reads `source`, writes `dest` at the given quality
// (progressive: 0 or 1). A bitmap that cannot be read counts as a failed write.
JpgSaveResult WriteJpgFromBitmap(ImagingLibrary& library, JpgBuffer& buffer, const QString& source,
                                 const QString& dest, int quality, int progressive);

struct JpgMessage {
    QString text;
    int style;
    QString title;
};

// What the user is told: nothing on success or when there is no source.
std::optional<JpgMessage> MessageFor(JpgSaveResult result);
