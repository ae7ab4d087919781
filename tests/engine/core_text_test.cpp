// The number reading and printing, and the settings files byte for byte.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>

#include "engine/print_number.h"
#include "engine/settings_files.h"
#include "engine/val.h"
#include "files/program_folder.h"
#include "files/sequential_file.h"
#include "support/special_files.h"

using testsupport::Special;

class CoreTextTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

    QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void Put(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

  private Q_SLOTS:
    void initTestCase() { SetAppPathOverride(folder_.path()); }
    void init() {
        for (const QString& f : {UrlFilePath(), RowsFilePath(), BarPosFilePath()}) QFile::remove(f);
    }

    void val_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("digits then letters") << "3x" << 3.0;
        QTest::newRow("space inside digits") << "1 2" << 12.0;
        QTest::newRow("tab and line feed inside") << "\t1\n2 " << 12.0;
        QTest::newRow("carriage return ends") << "7\r8" << 7.0;
        QTest::newRow("negative") << "-5" << -5.0;
        QTest::newRow("sign apart from digits") << "- 5" << -5.0;
        QTest::newRow("plus") << "+7" << 7.0;
        QTest::newRow("two signs") << "--5" << 0.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("negative leading point") << "-.5" << -0.5;
        QTest::newRow("trailing point") << "5." << 5.0;
        QTest::newRow("second point ends") << "1.2.3" << 1.2;
        QTest::newRow("comma ends") << "1,5" << 1.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("negative exponent") << "1E-2" << 0.01;
        QTest::newRow("D exponent") << "1d2" << 100.0;
        QTest::newRow("exponent without digits") << "1e" << 1.0;
        QTest::newRow("exponent sign without digits") << "4e+x" << 4.0;
        QTest::newRow("exponent then letters") << "3e2x" << 300.0;
        QTest::newRow("hex") << "&H10" << 16.0;
        QTest::newRow("hex lower case") << "&hff" << 255.0;
        QTest::newRow("hex 16-bit wraps") << "&HFFFF" << -1.0;
        QTest::newRow("hex 32-bit") << "&H10000" << 65536.0;
        QTest::newRow("hex 32-bit wraps") << "&HFFFFFFFF" << -1.0;
        QTest::newRow("hex without digits") << "&Hxyz" << 0.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("octal stops at 8") << "&o178" << 15.0;
        QTest::newRow("unknown radix") << "&X10" << 0.0;
        QTest::newRow("C hex is not hex") << "0x10" << 0.0;
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xef\xbc\x96") << 0.0;
        QTest::newRow("spaces around") << "  6  " << 6.0;
    }
    void val() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(Val(text), value);
    }

    void printNumber_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("printed");
        QTest::newRow("whole") << 1500.0f << " 1500 ";
        QTest::newRow("zero") << 0.0f << " 0 ";
        QTest::newRow("negative zero") << -0.0f << " 0 ";
        QTest::newRow("negative") << -60.0f << "-60 ";
        QTest::newRow("half") << 22.5f << " 22.5 ";
        QTest::newRow("no leading zero") << 0.5f << " .5 ";
        QTest::newRow("negative fraction") << -0.25f << "-.25 ";
        QTest::newRow("tenth, shortest") << 0.1f << " .1 ";
        QTest::newRow("seven digits") << (1.0f / 3.0f) << " .3333333 ";
        QTest::newRow("largest plain") << 1234567.0f << " 1234567 ";
        QTest::newRow("exponent beyond seven digits") << 12345678.0f << " 1.234568E+07 ";
    }
    void printNumber() {
        QFETCH(float, value);
        QFETCH(QString, printed);
        QCOMPARE(PrintNumber(value), printed);
    }

    void settingLineWrite() {
        QVERIFY(WriteSettingLine(UrlFilePath(), QStringLiteral("abc")));
        QCOMPARE(Bytes(UrlFilePath()), QByteArray("abc\r\n"));
        QVERIFY(WriteSettingLine(RowsFilePath(), QString()));
        QCOMPARE(Bytes(RowsFilePath()), QByteArray("\r\n"));
        // Each write replaces the file; nothing is appended.
        QVERIFY(WriteSettingLine(UrlFilePath(), QStringLiteral("x")));
        QCOMPARE(Bytes(UrlFilePath()), QByteArray("x\r\n"));
    }

    void settingLineRead_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("line");
        QTest::newRow("zero bytes") << QByteArray("") << false << "";
        QTest::newRow("only CR LF") << QByteArray("\r\n") << true << "";
        QTest::newRow("CR LF") << QByteArray("http://a\r\nrest\r\n") << true << "http://a";
        QTest::newRow("lone LF") << QByteArray("6\nrest") << true << "6";
        QTest::newRow("lone CR") << QByteArray("6\rrest") << true << "6";
        QTest::newRow("no line end") << QByteArray("abc") << true << "abc";
        QTest::newRow("spaces kept") << QByteArray("  a b  \r\n") << true << "  a b  ";
    }
    void settingLineRead() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        QFETCH(QString, line);
        Put(UrlFilePath(), bytes);
        const auto read = ReadSettingLine(UrlFilePath());
        QCOMPARE(read.has_value(), found);
        if (found) QCOMPARE(*read, line);
    }

    void missingSettingFile() { QVERIFY(!ReadSettingLine(UrlFilePath())); }

    void barPositionsWrite() {
        QVERIFY(WriteBarPositions({240, 480, 840, 1680}));
        QCOMPARE(Bytes(BarPosFilePath()), QByteArray(" 240 \r\n 480 \r\n 840 \r\n 1680 \r\n"));
        QVERIFY(WriteBarPositions({-60, 22.5f, 0, 1500}));
        QCOMPARE(Bytes(BarPosFilePath()), QByteArray("-60 \r\n 22.5 \r\n 0 \r\n 1500 \r\n"));
    }

    void barPositionsRead_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QList<float>>("values");  // NaN marks a value that is not a number
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("as written") << QByteArray(" 240 \r\n 480 \r\n 840 \r\n 1680 \r\n") << true
                                    << QList<float>{240, 480, 840, 1680};
        QTest::newRow("three lines")
            << QByteArray(" 1 \r\n 2 \r\n 3 \r\n") << false << QList<float>{};
        QTest::newRow("word on line 2") << QByteArray(" 90 \r\nabc\r\n 60 \r\n 750 \r\n") << true
                                        << QList<float>{90, nan, 60, 750};
        QTest::newRow("lone LF, fractions, signs")
            << QByteArray("22.5\n-.5\n+3\n1e2\n") << true << QList<float>{22.5f, -0.5f, 3, 100};
        QTest::newRow("number glued to word")
            << QByteArray("12abc 1 2 3") << true << QList<float>{nan, 1, 2, 3};
        QTest::newRow("comma separated, blank lines")
            << QByteArray("1,2\r\n\r\n3,4") << true << QList<float>{1, 2, 3, 4};
        QTest::newRow("empty") << QByteArray() << false << QList<float>{};
        QTest::newRow("INF and NAN as written by printf")
            << QByteArray(" INF \r\n-INF \r\n NAN \r\n 5 \r\n") << true
            << QList<float>{nan, nan, nan, 5};
        QTest::newRow("beyond single precision")
            << QByteArray(" 1e39 \r\n-1E39 \r\n 1d39 \r\n 1e400 \r\n") << true
            << QList<float>{nan, nan, nan, nan};
        QTest::newRow("largest single stays")
            << QByteArray(" 3.4e38 \r\n-3.4e38 \r\n 1e-50 \r\n 7 \r\n") << true
            << QList<float>{3.4e38f, -3.4e38f, 0, 7};
        QTest::newRow("comma decimal splits")
            << QByteArray(" 22,5 \r\n 7 \r\n 8 \r\n") << true << QList<float>{22, 5, 7, 8};
    }
    void barPositionsRead() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        QFETCH(QList<float>, values);
        Put(BarPosFilePath(), bytes);
        const auto read = ReadBarPositions();
        QCOMPARE(read.has_value(), found);
        if (!found) return;
        for (int i = 0; i < 4; ++i) {
            if (std::isnan(values[i])) {
                QVERIFY2(!(*read)[i], qPrintable(QString::number(i)));
            } else {
                QVERIFY((*read)[i]);
                QCOMPARE(*(*read)[i], values[i]);
            }
        }
    }

    void barPositionsRoundTrip() {
        const std::array<float, 4> places{-135.5f, 0.25f, 1e6f, 33.33f};
        QVERIFY(WriteBarPositions(places));
        const auto read = ReadBarPositions();
        QVERIFY(read);
        for (int i = 0; i < 4; ++i) QCOMPARE(*(*read)[i], places[i]);
    }

    // A place that is not finite never reaches the file, and the last good file stays.
    void nonFinitePlacesAreNotWritten_data() {
        QTest::addColumn<float>("place");
        QTest::newRow("INF") << std::numeric_limits<float>::infinity();
        QTest::newRow("-INF") << -std::numeric_limits<float>::infinity();
        QTest::newRow("NAN") << std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("1e39 as a single") << static_cast<float>(std::stod("1e39"));
    }
    void nonFinitePlacesAreNotWritten() {
        QFETCH(float, place);
        QVERIFY(WriteBarPositions({240, 480, 840, 1680}));
        const QByteArray good = Bytes(BarPosFilePath());
        for (int i = 0; i < 4; ++i) {
            std::array<float, 4> places{1, 2, 3, 4};
            places[size_t(i)] = place;
            QVERIFY(!WriteBarPositions(places));
            QCOMPARE(Bytes(BarPosFilePath()), good);
        }
    }

    // Under a locale whose decimal sign is ",": every number reads and prints as in C.
    void valUnderCommaLocale_data() { val_data(); }
    void valUnderCommaLocale() {
        testsupport::CommaLocale german;
        QVERIFY2(german.Usable(), "no comma-decimal C locale (locales package missing?)");
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(Val(text), value);
    }
    void printNumberUnderCommaLocale_data() { printNumber_data(); }
    void printNumberUnderCommaLocale() {
        testsupport::CommaLocale german;
        QVERIFY(german.Usable());
        QFETCH(float, value);
        QFETCH(QString, printed);
        QCOMPARE(PrintNumber(value), printed);
    }
    void barPositionsUnderCommaLocale() {
        testsupport::CommaLocale german;
        QVERIFY(german.Usable());
        const std::array<float, 4> places{22.5f, -0.25f, 1e6f, 1.5e7f};
        QVERIFY(WriteBarPositions(places));
        QCOMPARE(Bytes(BarPosFilePath()),
                 QByteArray(" 22.5 \r\n-.25 \r\n 1000000 \r\n 1.5E+07 \r\n"));
        const auto read = ReadBarPositions();
        QVERIFY(read);
        for (int i = 0; i < 4; ++i) QCOMPARE(*(*read)[i], places[i]);
        QCOMPARE(Val(u"2.5"), 2.5);
    }

    // Whatever stands at a settings path, the readers answer at once with nothing.
    void specialSettingFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        for (const char* name : {"url.txt", "rows.txt", "barpos.txt"})
            for (Special kind : {Special::Fifo, Special::LinkToZero, Special::LinkToNull,
                                 Special::Directory, Special::Huge})
                QTest::addRow("%s %s", name, testsupport::SpecialName(kind))
                    << QString::fromLatin1(name) << int(kind);
    }
    void specialSettingFiles() {
        QFETCH(QString, name);
        QFETCH(int, kind);
        const QString path = AppFile(name);
        QVERIFY(testsupport::MakeSpecial(path, Special(kind)));
        testsupport::FifoRescue rescue(path);
        QElapsedTimer timer;
        timer.start();
        if (name == "barpos.txt")
            QVERIFY(!ReadBarPositions());
        else
            QVERIFY(!ReadSettingLine(path));
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QFile::remove(path);
        QDir(path).removeRecursively();
    }

    // Up to the limit a file is read; one byte more and it reads as missing. The
    // address line holds well over 2 MB.
    void settingFileLimits_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("url.txt 3 MB line") << "url.txt" << qint64(3'000'000) << true;
        QTest::newRow("url.txt at the limit") << "url.txt" << kSettingLineLimit << true;
        QTest::newRow("url.txt over the limit") << "url.txt" << kSettingLineLimit + 1 << false;
        QTest::newRow("rows.txt over the limit") << "rows.txt" << kSettingLineLimit + 1 << false;
        QTest::newRow("barpos.txt at the limit") << "barpos.txt" << kSettingValuesLimit << true;
        QTest::newRow("barpos.txt over the limit")
            << "barpos.txt" << kSettingValuesLimit + 1 << false;
    }
    void settingFileLimits() {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(bool, read);
        // A long first line of "a" (or of places), then the line end, within `size`.
        QByteArray bytes;
        if (name == "barpos.txt") {
            bytes = " 1 \r\n 2 \r\n 3 \r\n 4 \r\n";
            bytes += QByteArray(size - bytes.size(), ' ');
        } else {
            bytes = "http://x/" + QByteArray(size - 9 - 2, 'a') + "\r\n";
        }
        QCOMPARE(qint64(bytes.size()), size);
        Put(AppFile(name), bytes);
        if (name == "barpos.txt") {
            const auto places = ReadBarPositions();
            QCOMPARE(places.has_value(), read);
            if (read) QCOMPARE(*(*places)[3], 4.0f);
        } else {
            const auto line = ReadSettingLine(AppFile(name));
            QCOMPARE(line.has_value(), read);
            if (read) QCOMPARE(line->size(), size - 2);
        }
    }

    // Addresses are written as UTF-8 and read back whole whatever the locale, the
    // plain C one included, where an 8-bit conversion would lose every character
    // beyond ASCII.
    void addressTextUnderCLocale_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("ascii") << "http://example.test/a?b=c";
        QTest::newRow("umlaut and CJK")
            << QString::fromUtf8("http://example.test/\xC3\xBC/\xE6\x97\xA5");
        QTest::newRow("host and query") << QString::fromUtf8(
            "https://m\xC3\xBCnchen.example/?q=\xE6\xBC\xA2\xE5\xAD\x97&x=\xC3\xBC");
        QTest::newRow("beyond the basic plane")
            << QString::fromUtf8("http://example.test/\xF0\x9F\x98\x80");
    }
    void addressTextUnderCLocale() {
        QFETCH(QString, address);
        testsupport::CLocale plain;
        QVERIFY(WriteSettingLine(UrlFilePath(), address));
        QCOMPARE(Bytes(UrlFilePath()), address.toUtf8() + "\r\n");
        const auto read = ReadSettingLine(UrlFilePath());
        QVERIFY(read.has_value());
        QCOMPARE(*read, address);
    }

    // A file from before, written in an 8-bit code page, holds bytes that are no UTF-8:
    // it reads as Latin-1, and valid UTF-8 as UTF-8.
    void settingTextEncodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("line");
        QTest::newRow("Latin-1 umlaut") << QByteArray("http://x/\xFC\xE9\r\n")
                                        << QString::fromUtf8("http://x/\xC3\xBC\xC3\xA9");
        QTest::newRow("UTF-8 umlaut")
            << QByteArray("http://x/\xC3\xBC\r\n") << QString::fromUtf8("http://x/\xC3\xBC");
        QTest::newRow("UTF-8 cut inside a character")
            << QByteArray("http://x/\xE6\x97\r\n") << QString::fromLatin1("http://x/\xE6\x97");
        QTest::newRow("only the first line counts") << QByteArray("http://x/\xC3\xBC\r\n\xFF\r\n")
                                                    << QString::fromUtf8("http://x/\xC3\xBC");
    }
    void settingTextEncodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        testsupport::CLocale plain;
        Put(UrlFilePath(), bytes);
        const auto read = ReadSettingLine(UrlFilePath());
        QVERIFY(read.has_value());
        QCOMPARE(*read, line);
    }

    void writeToMissingFolderFails() {
        QVERIFY(!PrintLines(folder_.filePath(QStringLiteral("no/such/url.txt")), {"x"}));
        QVERIFY(!WriteSettingLine(folder_.filePath(QStringLiteral("no/rows.txt")), "1"));
    }
};

QTEST_GUILESS_MAIN(CoreTextTest)
#include "core_text_test.moc"
