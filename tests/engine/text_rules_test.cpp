// Text rules without windows: what the address box keeps of pasted text, the file
// dialogs' type lists, and which name endings Save As takes.
#include <QTest>

#include "engine/address_text.h"
#include "engine/dialog_filter.h"
#include "engine/save_outcome.h"

class TextRulesTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void withoutLineBreaks_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("one line, kept as it is") << " http://a.example/x y "
                                                 << " http://a.example/x y ";
        QTest::newRow("trailing line feed") << "http://a.example/\n"
                                            << "http://a.example/";
        QTest::newRow("CR LF inside") << "http://a.example/very/\r\nlong/path"
                                      << "http://a.example/very/long/path";
        QTest::newRow("indented continuation") << "http://a.example/?q=1&\n    r=2"
                                               << "http://a.example/?q=1&r=2";
        QTest::newRow("lone CR") << "http://a.\rexample/"
                                 << "http://a.example/";
        QTest::newRow("space away from the break stays") << "  http://a.example/a b\n"
                                                         << "http://a.example/a b";
        QTest::newRow("tab without a break stays") << "a\tb\r\n"
                                                   << "a\tb";
        QTest::newRow("only breaks") << "\r\n\n"
                                     << "";
    }
    void withoutLineBreaks() {
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        QCOMPARE(WithoutLineBreaks(pasted), kept);
    }

    void nameFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("open webpage")
            << "Webpages (*.htm;*.html;*.mht)|*.htm;*.html;*.mht|All files (*.*)|*.*"
            << QStringList{"Webpages (*.htm *.html *.mht)", "All files (*)"};
        QTest::newRow("save as") << QString::fromUtf16(kSaveAsFilter)
                                 << QStringList{
                                        "Windows Bitmap file (*.bmp)",
                                        "Joint Photographic Experts Group file (*.jpg)",
                                        "Graphic Interchange Format file - 256 cols. (*.gif)",
                                        "Portable Network Graphic file (*.png)"};
        QTest::newRow("description without patterns")
            << "Pictures|*.png;*.gif" << QStringList{"Pictures (*.png *.gif)"};
        QTest::newRow("brackets inside the description")
            << "Text (plain) files (*.txt)|*.txt" << QStringList{"Text (plain) files (*.txt)"};
        QTest::newRow("odd piece left over") << "A (*.a)|*.a|B" << QStringList{"A (*.a)"};
    }
    void nameFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, shown);
        QCOMPARE(QtNameFilters(filter), shown);
    }
};

QTEST_GUILESS_MAIN(TextRulesTest)
#include "text_rules_test.moc"
