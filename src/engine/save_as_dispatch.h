#pragma once
// The Save As command's choice of writer: the ending of the chosen name alone
// decides, whatever type was selected in the dialog.
#include <QString>

// The dialog's type list: bitmap first, then JPEG, GIF and PNG.
inline constexpr char16_t kSaveAsFilter[] =
    u"Windows Bitmap file (*.bmp)|*.bmp|Joint Photographic Experts Group file (*.jpg)|*.jpg|"
    u"Graphic Interchange Format file - 256 cols. (*.gif)|*.gif|"
    u"Portable Network Graphic file (*.png)|*.png";

enum class SaveWriter { None, Bmp, Jpg, Gif, Png };

// The text after the last path separator ("/" or "\").
QString SaveNamePart(const QString& path);

// The last four characters of the name part (all of it when shorter), in lower case.
QString SaveNameEnding(const QString& path);

// The writer for a chosen path, by the name's extension in any case: ".bmp";
// ".jpg", ".jpeg" or ".jpe"; ".gif"; ".png"; else none.
SaveWriter WriterForName(const QString& path);
