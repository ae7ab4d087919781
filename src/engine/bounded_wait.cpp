#include "engine/bounded_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

bool WaitUntil(const std::function<bool()>& done, WaitBound bound, WaitBound poll) {
    if (done()) return true;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    bool held = false;
    QTimer ticker;
    ticker.setInterval(poll);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        if (done()) {
            held = true;
            loop.quit();
        } else if (clock.elapsed() >= bound.count()) {
            loop.quit();
        }
    });
    ticker.start();
    loop.exec();
    return held;
}

void LetPendingEventsRun() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool WaitForReadableFile(const QString& path, WaitBound bound) {
    return WaitUntil(
        [&] {
            QFile file(path);
            return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
        },
        bound, WaitBound(10));
}
