#pragma once
// What Save As tells the user when it cannot produce the file: the picture it would
// write, why a destination could not be written, and the texts of its messages.
#include <QImage>
#include <QString>

// The picture every Save As writer writes: cropped.bmp, read once and checked.
struct SaveSource {
    enum class State { Ready, Nothing, Unreadable };
    State state = State::Nothing;
    QImage picture;
    QString reason;  // why an existing file cannot serve, for Unreadable
};

// Nothing when the file does not exist; Unreadable, with the bitmap reader's reason,
// when it is no regular file or no whole bitmap.
SaveSource ReadSaveSource(const QString& croppedPath);

// Why `path` could not be written, judged from what is there now: a folder in the
// way, a missing folder, a write-protected file, a folder that takes no new file, a
// full disk (less free than `needed` bytes, or almost nothing); a general reason when
// none of these shows.
QString WriteFailureReason(const QString& path, qint64 needed = 0);

// The Save As dialog's type list: bitmap first, then JPEG, GIF and PNG.
inline constexpr char16_t kSaveAsFilter[] =
    u"Windows Bitmap file (*.bmp)|*.bmp|Joint Photographic Experts Group file (*.jpg)|*.jpg|"
    u"Graphic Interchange Format file - 256 cols. (*.gif)|*.gif|"
    u"Portable Network Graphic file (*.png)|*.png";

// The title of the Save As command's own messages.
QString SaveAsTitle();

// No picture at all yet.
QString NothingToSaveText();

// A name whose ending none of the writers takes.
QString UnknownEndingText(const QString& path);

// `path` was not written, for `reason`.
QString NotSavedText(const QString& path, const QString& reason);

// The reason when the picture to save cannot be read.
QString SourceReason(const QString& croppedPath, const QString& why);
