#include "files/release_later.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <system_error>
#include <thread>

ReleaseLater::ReleaseLater(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        fd_ = fd;
    else if (fd >= 0)
        ::close(fd);
}

ReleaseLater::~ReleaseLater() {
    if (fd_ < 0) return;
    // A file still linked elsewhere costs nothing to close here.
    struct stat info;
    if (::fstat(fd_, &info) != 0 || info.st_nlink > 0) {
        ::close(fd_);
        return;
    }
    try {
        std::thread([fd = fd_] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        ::close(fd_);
    }
}

bool RemoveReleasingLater(const QString& path) {
    const ReleaseLater held(path);
    return QFile::remove(path);
}
