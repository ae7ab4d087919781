// A page's console lines as glimpa-shot shows them: escaped so that no character of the
// page reaches the terminal as a control, and no more than the limit a second.
#include <QTest>

#include "shot/page_console.h"

class PageConsoleTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void escaped_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << "ready"
                               << "glimpa-shot: page says: ready";
        QTest::newRow("terminal title") << QStringLiteral("\x1b]0;owned\x07")
                                        << "glimpa-shot: page says: \\u{1B}]0;owned\\u{7}";
        QTest::newRow("colour, then a line of ours")
            << QStringLiteral("\x1b[31mred\nglimpa-shot: written")
            << "glimpa-shot: page says: \\u{1B}[31mred\\nglimpa-shot: written";
        QTest::newRow("tab, CR, backslash")
            << QStringLiteral("a\tb\rc\\n") << "glimpa-shot: page says: a\\tb\\rc\\\\n";
        QTest::newRow("NUL, DEL and a C1 control")
            << QStringLiteral("x") + QChar(0) + QChar(0x7f) + QChar(0x9b) + "y"
            << "glimpa-shot: page says: x\\u{0}\\u{7F}\\u{9B}y";
        QTest::newRow("a right-to-left override and a line separator")
            << QStringLiteral("a") + QChar(0x202e) + "b" + QChar(0x2028) + "c"
            << "glimpa-shot: page says: a\\u{202E}b\\u{2028}c";
        QTest::newRow("letters beyond ASCII stay")
            << QStringLiteral("café ✓") << QStringLiteral("glimpa-shot: page says: café ✓");
    }
    void escaped() {
        QFETCH(QString, message);
        QFETCH(QString, line);
        QCOMPARE(PageConsoleLine(message), line);
    }

    // A flood is cut to the limit each second, and what was left out is counted once.
    void limited() {
        PageConsoleLimit limit;
        int shown = 0;
        for (int i = 0; i < 200; ++i)
            if (limit.Take(QStringLiteral("flood"), 500)) ++shown;
        QCOMPARE(shown, PageConsoleLimit::kLinesPerSecond);
        const auto next = limit.Take(QStringLiteral("later"), 1500);
        QVERIFY(next);
        QCOMPARE(*next, QStringLiteral("glimpa-shot: 150 more lines of the page's console not "
                                       "shown\nglimpa-shot: page says: later"));
        QCOMPARE(limit.LeftOut(), QString());
        for (int i = 0; i < 60; ++i) limit.Take(QStringLiteral("again"), 1600);
        QCOMPARE(limit.LeftOut(),
                 QStringLiteral("glimpa-shot: 11 more lines of the page's console not shown"));
    }
};

QTEST_GUILESS_MAIN(PageConsoleTest)
#include "page_console_test.moc"
