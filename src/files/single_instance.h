#pragma once
// One Glimpa per program folder: two would write the same row files and composite
// and mix their captures. The lock is a file in the folder, held for the whole run;
// one left by a process that is gone is taken over.
#include <QLockFile>
#include <QString>

class ProgramFolderLock {
  public:
    explicit ProgramFolderLock(const QString& folder);

    // False only when another running Glimpa holds the folder. A folder where no lock
    // can be made at all does not stop the run: nothing there can be written anyway,
    // and the commands say so.
    bool TryLock();

    QString LockFilePath() const { return path_; }

  private:
    QString path_;
    QLockFile lock_;
};

// What the second Glimpa says before it ends.
QString AlreadyRunningText(const QString& folder);
