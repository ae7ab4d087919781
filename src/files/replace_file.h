#pragma once
// A file written whole or not at all where the folder allows it: the new content
// goes to a temporary file beside the target and replaces it in one step. A folder
// that takes no new file (so no temporary one) may still let an existing file be
// rewritten; there the content goes straight into the file, as the only way to save
// at all, and a failure part way leaves it incomplete.
#include <QFile>
#include <QSaveFile>
#include <QString>

// Commits a save file whose content is written: false, and the target untouched, when
// any part of it did not reach the disk. QSaveFile::commit() alone overlooks a failure
// to flush its buffer (a full disk, say) and would put an empty or short file in the
// old one's place.
bool CommitSaveFile(QSaveFile& file);

class ReplaceFile {
  public:
    explicit ReplaceFile(const QString& path);
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

  private:
    QString path_;
    QSaveFile atomic_;
    QFile inPlace_;
    bool direct_ = false;
    bool failed_ = false;
};
