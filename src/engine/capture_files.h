#pragma once
// The picture of the page that a capture took, and the files cut from it. The composite
// is assembled from this picture while the row files on disk are still the ones written
// from it; a row file replaced or removed since is read (or missed) as the file it now
// is. The new files are staged beside their places and put in place together, so the
// previous capture's files stay whole until the new set is complete. Whoever runs a
// capture owns one for that capture: what it staged or wrote ahead and did not put in
// place goes with it.
#include <QImage>
#include <QRect>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "files/outcome.h"

// A file that will hold `part` of the capture's picture.
struct FileAhead {
    QString path;
    QRect part;
};

class CaptureFiles {
  public:
    CaptureFiles();
    ~CaptureFiles();
    CaptureFiles(const CaptureFiles&) = delete;
    CaptureFiles& operator=(const CaptureFiles&) = delete;

    // Keeps `picture` as the page's picture of this capture and forgets the row files cut
    // from an earlier one. Two more threads start writing `files` beside their places,
    // one from the first and one from the last, for Write to take.
    void SetShot(const QImage& picture, const std::vector<FileAhead>& files = {});
    const QImage& Shot() const { return picture_; }

    // `part` of the capture's picture without a copy: the part keeps those pixels alive
    // after the picture is replaced, and is copied before anything draws on it. A part
    // the picture does not hold is null.
    QImage ShotPart(const QRect& part) const;

    // Removes the files written ahead that were not taken.
    void ForgetFilesAhead();

    // Row `row` was written to `path` from the capture's picture just now.
    void RememberRowFile(int row, const QString& path);

    // True while `path` is still the very file written for `row` (same file, size and
    // time).
    bool RowFileFromShot(int row, const QString& path) const;

    // Writes `picture` as a bitmap for `path`, a scratch file that every capture makes
    // again (not forced to disk), staged beside it until Commit(). Not done, and why, when
    // it could not be written. A file written ahead for `path` is taken when it holds
    // these very pixels.
    Outcome Write(const QImage& picture, const QString& path);

    // Where what was written for `path` can be read now: its staged file, or `path`.
    QString Readable(const QString& path) const;

    // Puts every staged file in its place, in the order they were written. One that
    // cannot be put in place stops it there: Replaced() tells whether some already were.
    Outcome Commit();
    bool Replaced() const { return replaced_; }

  private:
    // Which file a path names and how it stood: same file, size and time.
    struct Stamp {
        quint64 device = 0, inode = 0;
        qint64 size = 0, seconds = 0, nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };
    static bool StampOf(const QString& path, Stamp& stamp);
    struct Ahead;
    QImage picture_;
    std::map<int, std::pair<QString, Stamp>> rows_;
    std::unique_ptr<Ahead> ahead_;
    std::vector<std::pair<QString, std::unique_ptr<class ReplaceFile>>> staged_;
    bool replaced_ = false;
};
