#pragma once
// A file about to be removed or replaced, held open while that happens: freeing its
// blocks then falls to the last close, which runs on a thread of its own. Freeing a
// large file that the system is still writing back waits for the disk (tens of
// milliseconds for a screen-sized bitmap); the unlink or rename itself stays quick.
#include <QString>

class ReleaseLater {
  public:
    // Nothing is held when `path` is no regular file or cannot be opened.
    explicit ReleaseLater(const QString& path);
    ~ReleaseLater();
    ReleaseLater(const ReleaseLater&) = delete;
    ReleaseLater& operator=(const ReleaseLater&) = delete;

  private:
    int fd_ = -1;
};

// Removes `path`, its blocks freed by another thread.
bool RemoveReleasingLater(const QString& path);
