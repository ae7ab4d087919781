#include "cdp_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>
#include <cerrno>
#include <vector>

extern char** environ;

CdpPipe::~CdpPipe() {
    if (pid_ <= 0) return;
    Call(QStringLiteral("Browser.close"), {}, {}, 5000);
    if (toBrowser_ >= 0) close(toBrowser_);
    // The browser ends when its pipe closes; a stuck one is ended after a while.
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(50000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    if (fromBrowser_ >= 0) close(fromBrowser_);
}

QString CdpPipe::StartWithPage(const QString& profileFolder) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty() || !Start(chromium, profileFolder)) return {};
    const auto target = Call(QStringLiteral("Target.createTarget"), {{"url", "about:blank"}});
    if (!target) return {};
    const auto attached = Call(QStringLiteral("Target.attachToTarget"),
                               {{"targetId", target->value("targetId")}, {"flatten", true}});
    return attached ? attached->value("sessionId").toString() : QString();
}

bool CdpPipe::Start(const QString& chromium, const QString& profileFolder) {
    int commands[2], replies[2];
    if (pipe2(commands, O_CLOEXEC) != 0) return false;
    if (pipe2(replies, O_CLOEXEC) != 0) {
        close(commands[0]);
        close(commands[1]);
        return false;
    }
    const QList<QByteArray> args{QFile::encodeName(chromium),
                                 "--headless",
                                 "--no-sandbox",
                                 "--disable-gpu",
                                 "--no-first-run",
                                 "--disable-background-networking",
                                 "--disable-component-update",
                                 "--disable-sync",
                                 "--user-data-dir=" + QFile::encodeName(profileFolder),
                                 "--remote-debugging-pipe"};
    std::vector<char*> argv;
    for (const QByteArray& a : args) argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 leaves the copies open across exec; the originals close with O_CLOEXEC.
    posix_spawn_file_actions_adddup2(&actions, commands[0], 3);
    posix_spawn_file_actions_adddup2(&actions, replies[1], 4);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(commands[0]);
    close(replies[1]);
    toBrowser_ = commands[1];
    fromBrowser_ = replies[0];
    if (rc != 0) {
        pid_ = -1;
        return false;
    }
    return true;
}

std::optional<QJsonObject> CdpPipe::NextMessage(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qsizetype end = pending_.indexOf('\0');
        if (end >= 0) {
            const QJsonDocument doc = QJsonDocument::fromJson(pending_.left(end));
            pending_.remove(0, end + 1);
            if (doc.isObject()) return doc.object();
            continue;
        }
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0) return std::nullopt;
        pollfd fd{fromBrowser_, POLLIN, 0};
        const int ready = poll(&fd, 1, left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[1 << 16];
        const ssize_t got = read(fromBrowser_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        pending_.append(chunk, got);
        // Reads happen only while no whole message waits, so a message's last byte
        // came with the latest read.
        lastReadAt_ = std::chrono::steady_clock::now();
    }
}

std::optional<QJsonObject> CdpPipe::Call(const QString& method, const QJsonObject& params,
                                         const QString& session, int timeoutMs) {
    if (toBrowser_ < 0) return std::nullopt;
    const int id = ++lastId_;
    QJsonObject command{{"id", id}, {"method", method}, {"params", params}};
    if (!session.isEmpty()) command.insert("sessionId", session);
    QByteArray bytes = QJsonDocument(command).toJson(QJsonDocument::Compact);
    bytes.append('\0');
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n = write(toBrowser_, bytes.constData() + sent, bytes.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        sent += n;
    }
    QElapsedTimer clock;
    clock.start();
    while (const auto message = NextMessage(timeoutMs - int(clock.elapsed()))) {
        if (message->contains("method")) {
            events_ << message->value("method").toString();
            continue;
        }
        if (message->value("id").toInt() != id) continue;
        if (message->contains("error")) return std::nullopt;
        lastReplyAt_ = lastReadAt_;
        return message->value("result").toObject();
    }
    return std::nullopt;
}

bool CdpPipe::WaitForEvent(const QString& method, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (events_.removeOne(method)) return true;
        const auto message = NextMessage(timeoutMs - int(clock.elapsed()));
        if (!message) return false;
        if (message->contains("method")) events_ << message->value("method").toString();
    }
}
