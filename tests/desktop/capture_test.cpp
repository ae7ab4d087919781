// The Capture command end to end, on pages whose every pixel row the test knows. Built
// once per screen size (CAPTURE_SCREEN_WIDTH x CAPTURE_SCREEN_HEIGHT).
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include "desktop/beep.h"
#include "desktop/build_composite.h"
#include "desktop/end_program.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/message_box.h"
#include "desktop/mouse_pointer.h"
#include "desktop/picture_button.h"
#include "desktop/place_windows.h"
#include "desktop/program.h"
#include "desktop/startup.h"
#include "engine/bounded_wait.h"
#include "engine/capture_files.h"
#include "engine/crop_image.h"
#include "engine/val.h"
#include "files/program_files.h"
#include "files/program_folder.h"
#include "formats/bitmap_file.h"
#include "support/capture_http_server.h"
#include "support/capture_pages.h"
#include "support/test_main.h"

using namespace capturepages;

namespace {

constexpr int kW = CAPTURE_SCREEN_WIDTH;
constexpr int kH = CAPTURE_SCREEN_HEIGHT;

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage Filled(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

void RemoveRowFiles() {
    for (int k = 1; k <= 7; ++k) QFile::remove(RowFilePath(k));
    QFile::remove(WhopperFilePath());
}

}  // namespace

class CaptureTest : public QObject {
    Q_OBJECT

  private:
    Program* program_ = nullptr;
    int ends_ = 0;
    // Messages shown, text and title, in place of the modal box.
    QStringList messages_;

    Form0& Browser() { return program_->form0(); }
    Form1& Panel() { return program_->form1(); }
    Form99& Editor() { return program_->form99(); }

    // Opens the page the way the user does: its address in the address box, then Enter.
    void Open(const QString& address) {
        QSignalSpy loaded(Browser().WebBrowser1, &QWebEngineView::loadFinished);
        Panel().TextURL->setText(address);
        QTest::keyClick(Panel().TextURL, Qt::Key_Return);
        QVERIFY(loaded.wait(20000));
        QVERIFY(loaded.first().first().toBool());
    }

    void Capture(const QString& rows) {
        Panel().TextRowsToCapture->setText(rows);
        Panel().CommandCapture->click();
    }

    // Windows as start-up's later runs of the layout put them; the capture's end state.
    void VerifyWindowsBack() {
        const double left = kW * 15 / 2.0 - 7200 / 2.0;
        const double top = (kH * 15 - (5200 + 1485)) / 2.0;
        QCOMPARE(Browser().Left(), Twips(left));
        QCOMPARE(Browser().Top(), Twips(top));
        QCOMPARE(Browser().Width(), Twips(7200));
        QCOMPARE(Browser().Height(), Twips(5200));
        WebBrowser& page = *Browser().WebBrowser1;
        QCOMPARE(QRectF(page.Left(), page.Top(), page.Width(), page.Height()),
                 QRectF(0, 0, 7200, 5200));
        QVERIFY(Panel().isVisible());
        QCOMPARE(Panel().Left(), Browser().Left());
        QCOMPARE(Panel().Top(), Twips(top + 5200));
        QCOMPARE(Panel().Width(), Twips(7200));
        QVERIFY(Browser().isVisible());
        QVERIFY(!Browser().PictureDummy->isVisible());
        QVERIFY(Panel().CommandCrop->isEnabled());
        QCOMPARE(ScreenMousePointer(), kPointerDefault);
    }

  private Q_SLOTS:
    void initTestCase() {
        SetEndHandler([this] { ++ends_; });
        SetMsgBoxHandler([this](const QString& text, int, const QString& title) {
            messages_ << title + QStringLiteral(": ") + text;
            return kMsgBoxResultOk;
        });
        program_ = new Program;
        Startup(*program_);
        QCOMPARE(program_->vars.Form99Width, Twips(kW * 15));
        QCOMPARE(program_->vars.Form99Height, Twips(kH * 15));
        Open(WritePage(QStringLiteral("bands.html"), BandsPage(7 * kH)));
    }

    void cleanupTestCase() { delete program_; }

    // Runs first, while the composite box has never been painted.
    void fractionalRowsOnFirstCapture() {
        RemoveRowFiles();
        const int beeps = BeepCount();
        Capture(QStringLiteral("2.5"));
        QVERIFY(QFile::exists(RowFilePath(2)));
        QVERIFY(!QFile::exists(RowFilePath(3)));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->size(), QSize(kW, kH * 5 / 2));
        QCOMPARE(FirstWrongRow(*whopper, 0, 2 * kH, BandColor), -1);
        QCOMPARE(FirstWrongRow(*whopper, 2 * kH, whopper->height(),
                               [](int) { return QColor(Qt::white); }),
                 -1);
        QCOMPARE(BeepCount() - beeps, 2);
        VerifyWindowsBack();
    }

    void everyRowOnce_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("count");
        QTest::newRow("one screen") << QStringLiteral("1") << 1;
        QTest::newRow("three screens") << QStringLiteral("3") << 3;
        QTest::newRow("six screens") << QStringLiteral("6") << 6;
        QTest::newRow("above six is six") << QStringLiteral("9") << 6;
    }

    // Every pixel row of the page appears once, in order, in the row files, the
    // composite in the crop editor, whopper.bmp and the crop result box. The clipboard
    // holds the last row and nothing of what it held before.
    void everyRowOnce() {
        QFETCH(QString, rows);
        QFETCH(int, count);
        const int beeps = BeepCount();
        QGuiApplication::clipboard()->setText(QStringLiteral("the user's text"));
        Capture(rows);
        for (int k = 1; k <= count; ++k) {
            const auto row = LoadPicture(RowFilePath(k));
            QVERIFY(row);
            QCOMPARE(row->size(), QSize(kW, kH));
            QCOMPARE(FirstWrongRow(*row, 0, kH, [k](int y) { return BandColor((k - 1) * kH + y); }),
                     -1);
            if (k == count) {
                QCOMPARE(
                    QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
                    *row);
                QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasText());
                QCOMPARE(Browser().PictureCapture->Image(), *row);
            }
        }
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->size(), QSize(kW, count * kH));
        QCOMPARE(FirstWrongRow(*whopper, 0, count * kH, BandColor), -1);
        QCOMPARE(Editor().PictureWhopper->Image(), *whopper);
        QCOMPARE(Editor().PictureCropped->Image(), *whopper);
        QCOMPARE(BeepCount() - beeps, 2);
        VerifyWindowsBack();
    }

    // The user may have hidden the browser window with a click on the panel; the
    // capture still grabs the page.
    void hiddenBrowserWindowCaptured() {
        Open(WritePage(QStringLiteral("bands.html"), BandsPage(7 * kH)));
        Panel().Form_MouseDown();
        QVERIFY(!Browser().isVisible());
        Capture(QStringLiteral("2"));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(FirstWrongRow(*whopper, 0, 2 * kH, BandColor), -1);
        VerifyWindowsBack();
    }

    // A shorter capture uses and touches only its own row files.
    void staleRowFilesLeftAlone() {
        Capture(QStringLiteral("6"));
        QByteArray stale[7];
        for (int k = 3; k <= 6; ++k) stale[k] = FileBytes(RowFilePath(k));
        Open(WritePage(QStringLiteral("header.html"), BandsPage(7 * kH, 50)));
        Capture(QStringLiteral("2"));
        for (int k = 3; k <= 6; ++k) QCOMPARE(FileBytes(RowFilePath(k)), stale[k]);
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->height(), 2 * kH);
    }

    // A header fixed to the top of the window shows once, at the top of the composite.
    void fixedHeaderOnce() {
        Open(WritePage(QStringLiteral("header.html"), BandsPage(7 * kH, 50)));
        Capture(QStringLiteral("3"));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(FirstWrongRow(*whopper, 0, 50, [](int) { return HeaderColor(); }), -1);
        QCOMPARE(FirstWrongRow(*whopper, 50, 3 * kH, BandColor), -1);
    }

    void noRowsNoGrab_data() {
        QTest::addColumn<QString>("rows");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("half a screen") << QStringLiteral("0.5");
        QTest::newRow("letters") << QStringLiteral("rows");
        QTest::newRow("negative") << QStringLiteral("-2");
    }

    // Nothing grabbed and nothing written; the windows still come back.
    void noRowsNoGrab() {
        QFETCH(QString, rows);
        RemoveRowFiles();
        const QImage earlier = Filled({kW, kH}, Qt::green);
        QVERIFY(SavePicture(earlier, WhopperFilePath()));
        const QByteArray before = FileBytes(WhopperFilePath());
        const QImage cropped = Editor().PictureCropped->Image();
        const int beeps = BeepCount();
        Capture(rows);
        QVERIFY(!QFile::exists(RowFilePath(1)));
        QCOMPARE(FileBytes(WhopperFilePath()), before);
        QCOMPARE(Editor().PictureCropped->Image(), cropped);
        QCOMPARE(BeepCount() - beeps, 1);
        VerifyWindowsBack();
    }

    void handEditedRowsStopAtSix_data() {
        QTest::addColumn<QString>("rows");
        QTest::newRow("forty") << QStringLiteral("40");
        QTest::newRow("beyond any number") << QStringLiteral("1e999");
    }

    // rows.txt edited by hand reaches the box unlimited at start-up; the capture still
    // takes six screens and ends.
    void handEditedRowsStopAtSix() {
        QFETCH(QString, rows);
        RemoveRowFiles();
        Open(WritePage(QStringLiteral("bands.html"), BandsPage(7 * kH)));
        program_->vars.StartupDone = 0;  // as when start-up fills the box from rows.txt
        Panel().TextRowsToCapture->setText(rows);
        program_->vars.StartupDone = 1;
        QCOMPARE(Panel().TextRowsToCapture->text(), rows);
        Panel().CommandCapture->click();
        QVERIFY(QFile::exists(RowFilePath(6)));
        QVERIFY(!QFile::exists(RowFilePath(7)));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->size(), QSize(kW, 6 * kH));
        QCOMPARE(FirstWrongRow(*whopper, 0, 6 * kH, BandColor), -1);
        VerifyWindowsBack();
    }

    // A row file gone before the assembly: it stops there, leaving whopper.bmp and the
    // crop result as they were and the rows painted so far in the composite.
    void missingRowFileStopsAssembly() {
        ModuleVariables& v = program_->vars;
        RemoveRowFiles();
        QVERIFY(SavePicture(Filled({kW, kH}, Qt::red), RowFilePath(1)));
        QVERIFY(SavePicture(Filled({kW, kH}, Qt::blue), RowFilePath(3)));
        QVERIFY(SavePicture(Filled({kW, kH}, Qt::green), WhopperFilePath()));
        const QByteArray before = FileBytes(WhopperFilePath());
        Editor().PictureWhopper->SetRect(0, 0, v.Form99Width, 3 * v.Form99Height);
        Editor().PictureWhopper->PaintPicture(Filled({kW, 3 * kH}, Qt::yellow), 0, 0);
        const QImage cropped = Editor().PictureCropped->Image();
        const int beeps = BeepCount();
        v.RowsToCapture = 3;
        CaptureFiles files;
        QVERIFY(!BuildComposite(*program_, files));
        QCOMPARE(FileBytes(WhopperFilePath()), before);
        QCOMPARE(Editor().PictureCropped->Image(), cropped);
        QCOMPARE(BeepCount(), beeps);
        const QImage& composite = Editor().PictureWhopper->Image();
        QCOMPARE(FirstWrongRow(composite, 0, kH, [](int) { return QColor(Qt::red); }), -1);
        QCOMPARE(FirstWrongRow(composite, kH, 3 * kH, [](int) { return QColor(Qt::yellow); }), -1);
        SetScreenMousePointer(kPointerDefault);
    }

    // Row 2 cannot be written (a folder has its name; the tests run as root, whom a
    // read-only folder would not stop): the grabs end there, the composite is not made,
    // the windows come back, and the previous capture's files are all kept as they were,
    // with nothing half written beside them.
    void unwritableRowFileEndsCapture() {
        RemoveRowFiles();
        QVERIFY(SavePicture(Filled({kW, kH}, Qt::red), RowFilePath(1)));
        QVERIFY(SavePicture(Filled({kW, kH}, Qt::blue), RowFilePath(3)));
        QVERIFY(QDir().mkpath(RowFilePath(2)));
        QVERIFY(SavePicture(Filled({kW, kH}, Qt::green), WhopperFilePath()));
        const QByteArray before = FileBytes(WhopperFilePath());
        const QByteArray row1 = FileBytes(RowFilePath(1)), row3 = FileBytes(RowFilePath(3));
        const int beeps = BeepCount();
        Capture(QStringLiteral("3"));
        QVERIFY(QDir().rmdir(RowFilePath(2)));
        QCOMPARE(FileBytes(RowFilePath(1)), row1);
        QVERIFY(!QFile::exists(RowFilePath(2)));
        QCOMPARE(FileBytes(RowFilePath(3)), row3);
        QCOMPARE(FileBytes(WhopperFilePath()), before);
        QCOMPARE(QDir(AppPath()).entryList({QStringLiteral("*.bmp.*")}, QDir::Files),
                 QStringList());
        QCOMPARE(BeepCount() - beeps, 1);
        VerifyWindowsBack();
    }

    // Images far below the first screen, one lazy by the browser's own rule and one
    // that a script loads when it comes into sight, appear in the composite.
    void lazyImagesAppear() {
        const LazyImage native{QRect(100, 3 * kH + 100, 200, 100), Qt::red,
                               QStringLiteral("lazy_red.png")};
        const LazyImage scripted{QRect(400, 4 * kH + 200, 200, 100), Qt::blue,
                                 QStringLiteral("lazy_blue.png")};
        for (const LazyImage& image : {native, scripted})
            QVERIFY(Filled(image.place.size(), image.color).save(AppFile(image.file)));
        WritePage(QStringLiteral("lazy.html"), LazyPage(6 * kH, native, scripted));
        FolderServer server(AppPath(), 400);
        Open(server.Address(QStringLiteral("lazy.html")));

        // Neither image has been fetched while the page shows only its first screen.
        QString state;
        Browser().WebBrowser1->page()->runJavaScript(
            QStringLiteral(
                "document.images[0].complete + ' ' + document.images[1].hasAttribute('src')"),
            [&](const QVariant& v) { state = v.toString(); });
        QTRY_VERIFY(!state.isEmpty());
        QCOMPARE(state, QStringLiteral("false false"));

        Capture(QStringLiteral("6"));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->height(), 6 * kH);
        for (const LazyImage& image : {native, scripted}) {
            const QImage shown = whopper->copy(image.place);
            QCOMPARE(FirstWrongRow(shown, 0, shown.height(), [&](int) { return image.color; }), -1);
        }
        QCOMPARE(FirstWrongRow(*whopper, 0, 3 * kH, [](int) { return QColor(Qt::white); }), -1);
    }

    // While the capture waits for the page: the panel is hidden, the browser window
    // covers the screen with its control (one screen high: the engine makes its own tall
    // frame), the pointer is the hourglass; a key reaching the browser window ends the
    // program.
    void stateDuringCapture() {
        Open(WritePage(QStringLiteral("bands.html"), BandsPage(7 * kH)));
        const int ends = ends_;
        bool panelShown = true;
        QRect browser, control;
        int pointer = kPointerDefault;
        QTimer::singleShot(0, this, [&] {
            panelShown = Panel().isVisible();
            browser = Browser().geometry();
            control = Browser().WebBrowser1->geometry();
            pointer = ScreenMousePointer();
            QTest::keyClick(&Browser(), Qt::Key_A);
        });
        Capture(QStringLiteral("2"));
        QVERIFY(!panelShown);
        QCOMPARE(browser, QRect(0, 0, kW, kH));
        QCOMPARE(control, QRect(0, 0, kW, kH));
        QCOMPARE(pointer, kPointerHourglass);
        QCOMPARE(ends_ - ends, 1);
        VerifyWindowsBack();
    }

    // A section one viewport tall stays one screen in the tall view and the content
    // follows it; cropped.bmp and the crop result box hold the new whole page.
    void heroKeepsOneScreen() {
        QString html = QStringLiteral(
            "<!doctype html><html><head><style>body{margin:0}div{height:1px}</style></head>"
            "<body><section style='height:100vh;background:#c80000'></section>");
        for (int i = 0; i < 3 * kH; ++i)
            html += QStringLiteral("<div style='background:%1'></div>").arg(BandColor(i).name());
        Open(WritePage(QStringLiteral("hero.html"), html + QStringLiteral("</body></html>")));
        Capture(QStringLiteral("3"));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->size(), QSize(kW, 3 * kH));
        QCOMPARE(
            FirstWrongRow(*whopper, 0, 3 * kH,
                          [](int y) { return y < kH ? QColor(200, 0, 0) : BandColor(y - kH); }),
            -1);
        const auto cropped = LoadPicture(CroppedFilePath());
        QVERIFY(cropped);
        QCOMPARE(*cropped, *whopper);
        QCOMPARE(Editor().PictureCropped->Image(), *whopper);
        VerifyWindowsBack();
    }

    void lateContentCaptured_data() {
        QTest::addColumn<QString>("rows");
        QTest::newRow("one row") << QStringLiteral("1");
        QTest::newRow("six rows") << QStringLiteral("6");
    }

    // A page that adds its content half a second after its load, captured right after
    // it opened: the content is in the picture.
    void lateContentCaptured() {
        QFETCH(QString, rows);
        const QString html =
            QStringLiteral(
                "<!doctype html><html><head><style>html{overflow:hidden}body{margin:0}</style>"
                "</head><body><div style='height:%1px;background:#0000ff'></div><script>"
                "addEventListener('load', () => setTimeout(() => {"
                "  const d = document.createElement('div');"
                "  d.style.cssText = 'height:%2px;background:#00ff00';"
                "  document.body.appendChild(d); }, 500));</script></body></html>")
                .arg(kH / 2)
                .arg(6 * kH);
        FolderServer server(AppPath(), 0);
        WritePage(QStringLiteral("late.html"), html);
        Open(server.Address(QStringLiteral("late.html")));
        Capture(rows);
        const int tall = int(Val(rows)) * kH;
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->height(), tall);
        QCOMPARE(
            FirstWrongRow(*whopper, 0, tall,
                          [](int y) { return y < kH / 2 ? QColor(0, 0, 255) : QColor(0, 255, 0); }),
            -1);
    }

    void unwritableCaptureSaysSo_data() {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<int>("rows");
        QTest::newRow("a row file") << RowFilePath(2) << 3;
        QTest::newRow("whopper.bmp") << WhopperFilePath() << 2;
    }

    // A file of the capture that cannot be written (a folder has its name): a message
    // names the program folder, Crop stays as it was, the crop result and cropped.bmp
    // keep the previous picture and only the capture's closing beep sounds.
    void unwritableCaptureSaysSo() {
        QFETCH(QString, blocked);
        QFETCH(int, rows);
        Open(WritePage(QStringLiteral("bands.html"), BandsPage(7 * kH)));
        Capture(QStringLiteral("1"));
        const QByteArray cropped = FileBytes(CroppedFilePath());
        const QImage box = Editor().PictureCropped->Image();
        QVERIFY(!cropped.isEmpty());
        RemoveRowFiles();
        QVERIFY(QDir().mkpath(blocked));
        Panel().CommandCrop->setEnabled(false);
        messages_.clear();
        const int beeps = BeepCount();
        Capture(QString::number(rows));
        QVERIFY(QDir().rmdir(blocked));
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_.first().contains(QDir::toNativeSeparators(AppPath())),
                 qPrintable(messages_.first()));
        // The message says why.
        QVERIFY2(messages_.first().contains(QStringLiteral("(a folder stands in its place)")),
                 qPrintable(messages_.first()));
        QVERIFY(!Panel().CommandCrop->isEnabled());
        QCOMPARE(BeepCount() - beeps, 1);
        QCOMPARE(FileBytes(CroppedFilePath()), cropped);
        QCOMPARE(Editor().PictureCropped->Image(), box);
        // The next capture that can be written brings Crop back.
        Capture(QStringLiteral("1"));
        QCOMPARE(messages_.size(), 1);
        VerifyWindowsBack();
    }

    // Rows 2.5 after a capture of another page: the half screen no row reaches is white.
    void fractionalRowAfterAnotherPage() {
        Open(WritePage(QStringLiteral("bands.html"), BandsPage(7 * kH)));
        Capture(QStringLiteral("3"));
        Open(WritePage(QStringLiteral("green.html"),
                       QStringLiteral("<!doctype html><html><body style='margin:0;height:%1px;"
                                      "background:#00ff00'></body></html>")
                           .arg(7 * kH)));
        Capture(QStringLiteral("2.5"));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(whopper->size(), QSize(kW, kH * 5 / 2));
        QCOMPARE(
            FirstWrongRow(*whopper, 0, whopper->height(),
                          [](int y) { return y < 2 * kH ? QColor(0, 255, 0) : QColor(Qt::white); }),
            -1);
        QCOMPARE(Editor().PictureWhopper->Image(), *whopper);
    }

    // A second press of Capture handled during a capture's waits does nothing: one
    // capture, its two beeps, the right composite.
    void pressDuringCaptureIgnored() {
        Open(WritePage(QStringLiteral("bands.html"), BandsPage(7 * kH)));
        bool pressed = false;
        QTimer::singleShot(0, this, [&] {
            Panel().CommandCapture->click();
            pressed = true;
        });
        const int beeps = BeepCount();
        Capture(QStringLiteral("2"));
        QVERIFY(pressed);
        QCOMPARE(BeepCount() - beeps, 2);
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(FirstWrongRow(*whopper, 0, 2 * kH, BandColor), -1);
        VerifyWindowsBack();
    }

    // On a page whose own script keeps it busy for over a second at a time, the capture's
    // marker is never in a grab and leaves the page once the page lets it.
    void markerNeverStays() {
        QString html = BandsPage(7 * kH);
        html.replace(QStringLiteral("</body>"),
                     QStringLiteral("<script>setInterval(() => { const t = Date.now();"
                                    " while (Date.now() - t < 1200); }, 1300);</script></body>"));
        Open(WritePage(QStringLiteral("busy.html"), html));
        Capture(QStringLiteral("2"));
        const auto whopper = LoadPicture(WhopperFilePath());
        QVERIFY(whopper);
        QCOMPARE(FirstWrongRow(*whopper, 0, 2 * kH, BandColor), -1);
        for (int k = 1; k <= 2; ++k) {
            const auto row = LoadPicture(RowFilePath(k));
            QVERIFY(row);
            QCOMPARE(FirstWrongRow(*row, 0, kH, [k](int y) { return BandColor((k - 1) * kH + y); }),
                     -1);
        }
        const auto left = std::make_shared<int>(-1);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            *left = -1;
            Browser().WebBrowser1->page()->runJavaScript(
                QStringLiteral("document.querySelectorAll('glimpa-frame-marker,"
                               "glimpa-capture-spacer,glimpa-view-sizer').length + Array.from("
                               "document.querySelectorAll('style')).filter((s) =>"
                               " s.textContent.includes('scrollbar')).length"),
                [left](const QVariant& v) { *left = v.toInt(); });
            QTRY_VERIFY_WITH_TIMEOUT(*left >= 0, 5000);
            if (*left == 0) break;
            QTest::qWait(100);
        }
        QCOMPARE(*left, 0);
    }
};

GLIMPA_TEST_MAIN(CaptureTest, CAPTURE_SCREEN_WIDTH, CAPTURE_SCREEN_HEIGHT)
#include "capture_test.moc"
