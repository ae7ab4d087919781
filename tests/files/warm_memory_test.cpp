// Picture-sized blocks stay with the program between captures and go back to the
// system once it is left alone; resident memory tells which.
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <cstdlib>
#include <cstring>

#include "files/warm_memory.h"

// The sanitizer's allocator ignores the C library's settings and keeps its own blocks.
#if defined(__SANITIZE_ADDRESS__)
#define GLIMPA_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLIMPA_OWN_ALLOCATOR 1
#endif
#endif

namespace {

constexpr size_t kBlock = 64u << 20;
constexpr long kMiB = 1 << 20;

// Resident memory of this process in bytes.
long Resident() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * sysconf(_SC_PAGESIZE) : -1;
}

// A picture-sized block, every page touched, then freed.
void UseAndFree() {
    auto* block = static_cast<char*>(std::malloc(kBlock));
    QVERIFY(block);
    std::memset(block, 0x5a, kBlock);
    // The writes are seen as used, so that the compiler cannot leave them out.
    asm volatile("" : : "r"(block) : "memory");
    std::free(block);
}

}  // namespace

class WarmMemoryTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
#if defined(GLIMPA_OWN_ALLOCATOR)
        QSKIP("The sanitizer's allocator keeps its own blocks.");
#endif
        if (Resident() < 0) QSKIP("No /proc/self/statm here.");
        KeepPictureMemoryWarm();
    }

    // A freed block stays resident and serves the next one without new pages; released,
    // it is gone.
    void keptThenReleased() {
        ReleaseIdleMemory();
        const long base = Resident();
        UseAndFree();
        const long kept = Resident();
        QVERIFY2(kept - base > 56 * kMiB,
                 qPrintable(QStringLiteral("%1 MiB more").arg((kept - base) / kMiB)));
        UseAndFree();
        QVERIFY2(Resident() - kept < 8 * kMiB, "the second block took new pages");
        ReleaseIdleMemory();
        QVERIFY2(Resident() - base < 8 * kMiB, "the freed block was not given back");
    }

    // Given back once idle; each key, button or wheel starts the wait again.
    void releasedWhenIdle_data() {
        QTest::addColumn<QEvent::Type>("input");
        QTest::newRow("key") << QEvent::KeyPress;
        QTest::newRow("button") << QEvent::MouseButtonPress;
        QTest::newRow("wheel") << QEvent::Wheel;
    }
    void releasedWhenIdle() {
        QFETCH(QEvent::Type, input);
        ReleaseIdleMemory();
        const long base = Resident();
        QObject receiver;
        const auto idle = std::chrono::milliseconds(2000);
        ReleaseMemoryWhenIdle(*QCoreApplication::instance(), idle);
        UseAndFree();
        QTest::qWait(1200);
        // The filter goes by the event's type alone.
        QEvent event(input);
        QCoreApplication::sendEvent(&receiver, &event);
        QTest::qWait(1200);
        QVERIFY2(Resident() - base > 56 * kMiB, "released while the user was busy");
        QTRY_VERIFY2_WITH_TIMEOUT(Resident() - base < 8 * kMiB, "never released", 5000);
    }
};

QTEST_GUILESS_MAIN(WarmMemoryTest)
#include "warm_memory_test.moc"
