#pragma once
// A headless Chromium driven over the DevTools protocol on a pipe: the browser reads
// '\0'-terminated JSON commands on its fd 3 and writes '\0'-terminated replies and
// events on its fd 4. The benchmark's warm reference: one browser, one loaded page,
// screenshot after screenshot.
#include <sys/types.h>
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

class CdpPipe {
  public:
    CdpPipe() = default;
    CdpPipe(const CdpPipe&) = delete;
    CdpPipe& operator=(const CdpPipe&) = delete;
    // Closes the browser and waits for it to end.
    ~CdpPipe();

    // Starts `chromium` with the pipe and a profile in `profileFolder`; false when it
    // could not be started.
    bool Start(const QString& chromium, const QString& profileFolder);

    // Starts the `chromium` on the path with a profile in `profileFolder` and opens one
    // page target, attached flat: its session, or empty when any step failed.
    QString StartWithPage(const QString& profileFolder);

    // Sends one command (to the page session when `session` is given) and waits at
    // most `timeoutMs` for its reply's result; nothing on an error reply, a closed
    // pipe or the time running out. Events that arrive meanwhile are kept.
    std::optional<QJsonObject> Call(const QString& method, const QJsonObject& params = {},
                                    const QString& session = {}, int timeoutMs = 30000);

    // Waits at most `timeoutMs` for the event `method`, counting those already kept.
    bool WaitForEvent(const QString& method, int timeoutMs = 30000);

    // Drops the events kept so far, so that a wait sees only those still to come.
    void ForgetEvents() { events_.clear(); }

    // When the last byte of the reply that Call returned last was read: a timer that
    // stops there leaves our own reading of the reply out.
    std::chrono::steady_clock::time_point LastReplyArrival() const { return lastReplyAt_; }

  private:
    std::optional<QJsonObject> NextMessage(int timeoutMs);

    pid_t pid_ = -1;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    int lastId_ = 0;
    QByteArray pending_;
    QStringList events_;
    std::chrono::steady_clock::time_point lastReadAt_, lastReplyAt_;
};
