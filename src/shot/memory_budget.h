#pragma once
// How much of the machine's memory glimpa-shot's pictures may take, and so how tall a
// picture may grow: checked before anything is loaded, never found out by a crash.
#include <QtGlobal>

// The widest picture made, in picture pixels: what the bitmap files and the browser's
// own drawing take.
inline constexpr int kWidestPicture = 16384;

// Bytes of memory that one picture pixel costs while a page is captured and written:
// the picture itself, the browser's tiles of the tall view and the encoder's buffers,
// as measured on tall and wide pages.
inline constexpr int kBytesPerPicturePixel = 16;

// Half of the machine's physical memory, or of its container's limit where that is
// lower, in bytes.
qint64 DefaultMemoryBudget();

// The most rows a picture `width` pixels wide may have within `budget` bytes when `jobs`
// pages are captured at once and, in a batch, one more is being written.
qint64 RowsWithinBudget(qint64 budget, int width, int jobs, bool batch);
