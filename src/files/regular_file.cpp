#include "files/regular_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

RegularFile Open(const QString& path, qint64 limit, bool pipes) {
    RegularFile out;
    // O_NONBLOCK keeps open() from waiting for a FIFO's writer; the type is checked on
    // the descriptor itself, so nothing can be swapped in between check and read.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        out.reason = QString::fromLocal8Bit(std::strerror(errno));
        return out;
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    const bool pipe = known && pipes && S_ISFIFO(st.st_mode);
    if (!pipe && (!known || !S_ISREG(st.st_mode))) {
        out.reason = pipes ? QStringLiteral("not a regular file or a pipe")
                           : QStringLiteral("not a regular file");
        ::close(fd);
        return out;
    }
    if (pipe) {
        // Opened without waiting, a pipe whose writer has not come yet would read as empty.
        // Until a writer came and went, the system reports no end on it: wait for its data
        // or its end on this very reader, which keeps whatever is written meanwhile.
        pollfd ready{fd, POLLIN, 0};
        while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
        }
        st.st_size = 0;
    }
    if (st.st_size > limit) {
        out.reason = QStringLiteral("larger than %1 bytes").arg(limit);
        ::close(fd);
        return out;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        out.reason = file->errorString();
        ::close(fd);
        return out;
    }
    out.file = std::move(file);
    out.size = st.st_size;
    return out;
}

}  // namespace

RegularFile OpenRegularFile(const QString& path, qint64 limit) {
    return Open(path, limit, false);
}

RegularFile OpenRegularFileOrPipe(const QString& path, qint64 limit) {
    return Open(path, limit, true);
}
