#pragma once
// The picture of the page that the running capture took, and the row files cut from it.
// The composite is assembled from this picture while the row files on disk are still
// the ones written from it; a row file replaced or removed since is read (or missed) as
// the file it now is.
#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

// A file that will hold `part` of the capture's picture.
struct FileAhead {
    QString path;
    QRect part;
};

// Keeps `picture` as the page's picture of this capture and forgets the row files cut
// from an earlier one. Two more threads start writing `files` beside their places, one
// from the first and one from the last, for WriteCaptureFile to take.
void SetCaptureShot(const QImage& picture, const std::vector<FileAhead>& files = {});

// Removes the files written ahead that were not taken.
void ForgetFilesAhead();
const QImage& CaptureShot();

// `part` of the capture's picture without a copy: the part keeps those pixels alive
// after the picture is replaced, and is copied before anything draws on it. A part the
// picture does not hold is null.
QImage CaptureShotPart(const QRect& part);

// Row `row` was written to `path` from the capture's picture just now.
void RememberRowFile(int row, const QString& path);

// True while `path` is still the very file written for `row` (same file, size and time).
bool RowFileFromShot(int row, const QString& path);

// Writes `picture` as a bitmap to `path`: replaced atomically (a new file renamed over
// the old), but not forced to disk, because every capture makes these files again.
// False when it could not be written; the old file is then untouched. A file written
// ahead for `path` is taken when it holds these very pixels.
bool WriteCaptureFile(const QImage& picture, const QString& path);

// Makes `to` the same file as `from` (a hard link renamed into place, a copy where
// links are not possible). False when `to` could not be replaced.
bool ShareCaptureFile(const QString& from, const QString& to);
