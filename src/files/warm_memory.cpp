#include "files/warm_memory.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdlib>  // defines __GLIBC__ where that is the C library
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

class IdleRelease : public QObject {
  public:
    IdleRelease(QObject* parent, std::chrono::milliseconds idle) : QObject(parent) {
        timer_.setSingleShot(true);
        timer_.setInterval(idle);
        connect(&timer_, &QTimer::timeout, this, [] { ReleaseIdleMemory(); });
        timer_.start();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::Wheel:
                timer_.start();
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QTimer timer_;
};

}  // namespace

void KeepPictureMemoryWarm() {
#if defined(__GLIBC__)
    // Large blocks from the heap instead of mappings of their own, and the heap's free
    // top kept until ReleaseIdleMemory().
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

void ReleaseIdleMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void ReleaseMemoryWhenIdle(QCoreApplication& app, std::chrono::milliseconds idle) {
    app.installEventFilter(new IdleRelease(&app, idle));
}
