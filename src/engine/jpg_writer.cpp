#include "engine/jpg_writer.h"

#include "engine/message_style.h"

JpgSaveResult WriteJpgFromBitmap(ImagingLibrary& library, JpgBuffer& buffer, const QString& source,
                                 const QString& dest, int quality, int progressive) {
    if (buffer.JpgImage != 0) {
        library.GlobalFree(buffer.JpgImage);
        buffer.JpgImage = 0;
    }
    const ISHandle src = library.ISOpenFileSource(source);
    if (src == 0) return JpgSaveResult::NoSource;
    buffer.JpgImage = library.ISReadBMP(src, buffer.JpgWidth, buffer.JpgHeight, 24, 0);
    library.ISCloseSource(src);
    // No pixels, no picture: never leave a JPEG of nothing at the destination.
    if (buffer.JpgImage == 0) return JpgSaveResult::WriteFailed;

    const ISHandle out = library.ISOpenFileDest(dest);
    if (out == 0) return JpgSaveResult::CannotCreate;
    library.ISClearJPGOutputText();
    const int written = library.ISWriteJPG(out, buffer.JpgImage, buffer.JpgWidth, buffer.JpgHeight,
                                           quality, progressive, 24, 0);
    // A file that could not be finished is no saved file either.
    const bool closed = library.ISCloseDest(out) > 0;
    return written > 0 && closed ? JpgSaveResult::Written : JpgSaveResult::WriteFailed;
}

std::optional<JpgMessage> MessageFor(JpgSaveResult result) {
    switch (result) {
        case JpgSaveResult::CannotCreate:
            return JpgMessage{QStringLiteral("Unable to create the file."), kMsgBoxCritical,
                              QStringLiteral("ISOpenFileDest Failed")};
        case JpgSaveResult::WriteFailed:
            return JpgMessage{QStringLiteral("There was an error saving this file."),
                              kMsgBoxInformation, QStringLiteral("ISWriteJPG Failed")};
        case JpgSaveResult::NoSource:
        case JpgSaveResult::Written:
            break;
    }
    return std::nullopt;
}
