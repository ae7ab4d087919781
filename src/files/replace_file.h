#pragma once
// The one way a file is written, in both faces: whole or not at all where the folder
// allows it. The new content goes to a temporary file beside the target and replaces it
// in one step, so a failed write never destroys the file that was there. A folder that
// takes no new file (so no temporary one) may still let an existing file be rewritten;
// there a file the user keeps is written straight into place, as the only way to save it
// at all, and a failure part way leaves it incomplete. Only regular files are written:
// what stands at the path is never opened unless it is one.
#include <QByteArrayView>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <memory>

#include "files/outcome.h"

class ReplaceFile {
  public:
    enum class Kind {
        // A file the user names (Save As, glimpa-shot's outputs): on the disk before it
        // replaces the old one, rewritten in place where the folder takes no new file.
        // A link to a regular file is written through, as the user laid it; a FIFO, a
        // device or a link to one is refused untouched.
        Kept,
        // A file of the program's own folder (settings, the crop): kept as safely, but a
        // link or anything else in its place is replaced, never written through, so
        // nothing outside the folder changes.
        Own,
        // A file every capture makes again: like Own, but not forced to disk (a capture's
        // files would wait for the disk every time), never written in place, and the old
        // file's blocks freed on a thread of their own.
        Scratch,
    };

    explicit ReplaceFile(const QString& path, Kind kind = Kind::Kept);
    // A file neither committed nor cancelled is cancelled: no temporary file is left.
    ~ReplaceFile();
    ReplaceFile(const ReplaceFile&) = delete;
    ReplaceFile& operator=(const ReplaceFile&) = delete;

    bool open();
    // Where to write after a successful open.
    QIODevice& device();
    // True when the whole content is in place; false, and the target untouched in
    // the atomic case, otherwise.
    bool commit();
    void cancel();
    // True when the file is written in place, without a temporary file.
    bool direct() const { return direct_; }
    // Why the last open or commit failed, for a message.
    QString reason() const;
    // Where the content goes before commit() puts it in place: the temporary file while
    // there is one, else the file itself.
    QString writtenPath() const;

  private:
    bool OpenInPlace();

    QString path_;
    Kind kind_;
    QSaveFile atomic_;
    QFile inPlace_;
    std::unique_ptr<QFile> temporary_;
    QString temporaryPath_;
    bool direct_ = false;
    bool failed_ = false;
    bool done_ = false;
    QString reason_;
};

// Why what stands at `path` (through links) is no file a Kept ReplaceFile writes: a pipe,
// a device, a folder. Empty when nothing or a regular file stands there.
QString NotRegularReason(const QString& path);

// `bytes` as the whole new content of `path`, through a ReplaceFile.
Outcome ReplaceFileWith(const QString& path, QByteArrayView bytes,
                        ReplaceFile::Kind kind = ReplaceFile::Kind::Kept);

// Makes `to` the same file as `from`, as a Scratch file replaces it: a hard link where
// the folder allows one, a copy where not.
Outcome ReplaceWithLink(const QString& from, const QString& to);
