// Start-up and the control panel, driven through the real windows on a headless screen
// of SCREEN_W x SCREEN_H pixels.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include "desktop/end_program.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/help.h"
#include "desktop/jpg_options_panel.h"
#include "desktop/picture_button.h"
#include "desktop/place_windows.h"
#include "desktop/program.h"
#include "desktop/save_as_command.h"
#include "desktop/startup.h"
#include "engine/settings_files.h"
#include "files/program_folder.h"
#include "formats/bitmap_file.h"
#include "support/special_files.h"
#include "support/test_main.h"

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

bool WaitForLoad(WebBrowser* browser) {
    QSignalSpy loaded(browser, &QWebEngineView::loadFinished);
    return loaded.wait(15000);
}

QVariant RunScript(WebBrowser* browser, const QString& script) {
    QVariant result;
    bool done = false;
    browser->page()->runJavaScript(script, [&](const QVariant& v) { result = v, done = true; });
    if (!QTest::qWaitFor([&] { return done; }, 10000)) qWarning("script did not answer");
    return result;
}

}  // namespace

class AppWindowsTest : public QObject {
    Q_OBJECT

    int ends_ = 0;

    QString PageFile(const QString& name, const QByteArray& html) {
        const QString path = AppFile(name);
        Put(path, html);
        return path;
    }

  private Q_SLOTS:
    void initTestCase() {
        SetEndHandler([this] { ++ends_; });
    }
    void init() {
        ends_ = 0;
        for (const QString& f : {UrlFilePath(), RowsFilePath(), BarPosFilePath()}) QFile::remove(f);
    }

    // The layout of the first and of every later run, against the worked figures.
    void placeWindows() {
        Program program;
        PlaceWindows(program);
        const ModuleVariables& v = program.vars;
        const Twips screenW = SCREEN_W * 15.0f, screenH = SCREEN_H * 15.0f;
        QCOMPARE(v.Form99Width, screenW);
        QCOMPARE(v.Form99Height, screenH);
        QCOMPARE(program.form99().geometry(), QRect(0, 0, SCREEN_W, SCREEN_H));

        const Form0& browser = program.form0();
        const Form1& panel = program.form1();
        const Twips firstLeft = screenW / 2 - 3540;  // the panel's design width, 7080
        const Twips top = (screenH - (5200 + 1485)) / 2;
        QCOMPARE(browser.Left(), firstLeft);
        QCOMPARE(browser.Top(), top);
        QCOMPARE(browser.Width(), 7200.0f);
        QCOMPARE(browser.Height(), 5200.0f);
        QCOMPARE(panel.Left(), firstLeft);
        QCOMPARE(panel.Top(), top + 5200);
        QCOMPARE(panel.Width(), 7200.0f);
        QCOMPARE(panel.Height(), 1485.0f);
        QCOMPARE(v.CropControlsHomeLeft, firstLeft);
        QCOMPARE(v.CropControlsHomeTop, top);
        // Equal gaps above the browser window and below the panel.
        QCOMPARE(browser.Top(), screenH - (panel.Top() + panel.Height()));

        for (int run = 2; run <= 3; ++run) {
            PlaceWindows(program);
            QCOMPARE(browser.Left(), screenW / 2 - 3600);
            QCOMPARE(panel.Left(), browser.Left());
            QCOMPARE(browser.Top(), top);
            QCOMPARE(panel.Top(), top + 5200);
            QCOMPARE(v.CropControlsHomeLeft, browser.Left());
        }
        // In pixels: the pair stands where the twips say, the panel in front.
        QCOMPARE(browser.geometry(),
                 QRect(TwipsToPixels(browser.Left()), TwipsToPixels(top), 480, 347));
        QCOMPARE(panel.geometry().topLeft(), QPoint(browser.x(), TwipsToPixels(top + 5200)));
        QVERIFY(browser.isVisible() && panel.isVisible() && browser.PictureDummy->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), panel.TextURL);
    }

    void startupFirstRun() {
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        QCOMPARE(panel.TextURL->text(), QStringLiteral("http://"));
        QCOMPARE(panel.TextRowsToCapture->text(), QStringLiteral("1"));
        QCOMPARE(panel.TextURL->selectedText(), QStringLiteral("http://"));
        QCOMPARE(Bytes(UrlFilePath()), QByteArray("<missing>"));
        QCOMPARE(Bytes(RowsFilePath()), QByteArray("<missing>"));
        QVERIFY(QFileInfo(AppFile("help")).isDir());
        QVERIFY(!panel.CommandCrop->isEnabled());
        QCOMPARE(program.vars.StartupDone, 1);
    }

    void startupRemembers() {
        const QByteArray address = "http://example.org/" + QByteArray(131, 'a');  // 150 chars
        Put(UrlFilePath(), address + "\r\n");
        Put(RowsFilePath(), "9\r\n");
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        QCOMPARE(panel.TextURL->text(), QString::fromLatin1(address));
        QCOMPARE(panel.TextURL->selectedText(), QString::fromLatin1(address.left(100)));
        QCOMPARE(panel.TextURL->cursorPosition(), 100);
        QCOMPARE(panel.TextRowsToCapture->text(), QStringLiteral("9"));  // not clamped yet
        QCOMPARE(Bytes(RowsFilePath()), QByteArray("9\r\n"));
        QCOMPARE(Bytes(UrlFilePath()), address + "\r\n");  // the start-up fill writes nothing
        // Typing replaces the selected part.
        QTest::keyClicks(panel.TextURL, "x");
        QCOMPARE(panel.TextURL->text(), u'x' + QString::fromLatin1(address.mid(100)));
        QCOMPARE(Bytes(UrlFilePath()), "x" + address.mid(100) + "\r\n");
    }

    // url.txt and rows.txt that are no regular files: start-up goes on at once with
    // the first-run texts, and the files stay what they were.
    void startupWithSpecialSettings_data() {
        QTest::addColumn<int>("kind");
        using testsupport::Special;
        for (Special kind :
             {Special::Fifo, Special::LinkToZero, Special::LinkToNull, Special::Huge})
            QTest::addRow("%s", testsupport::SpecialName(kind)) << int(kind);
    }
    void startupWithSpecialSettings() {
        QFETCH(int, kind);
        const auto special = testsupport::Special(kind);
        for (const QString& f : {UrlFilePath(), RowsFilePath()})
            QVERIFY(testsupport::MakeSpecial(f, special));
        testsupport::FifoRescue rescueUrl(UrlFilePath()), rescueRows(RowsFilePath());
        QElapsedTimer timer;
        timer.start();
        Program program;
        Startup(program);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        Form1& panel = program.form1();
        QCOMPARE(panel.TextURL->text(), QStringLiteral("http://"));
        QCOMPARE(panel.TextRowsToCapture->text(), QStringLiteral("1"));
        QCOMPARE(program.vars.StartupDone, 1);
        QVERIFY(panel.isVisible());
        for (const QString& f : {UrlFilePath(), RowsFilePath()}) QFile::remove(f);
    }

    void startupEmptyRowsLine() {
        Put(RowsFilePath(), "\r\n");
        Put(UrlFilePath(), "\r\n");
        Program program;
        Startup(program);
        QCOMPARE(program.form1().TextRowsToCapture->text(), QString());
        QCOMPARE(program.form1().TextURL->text(), QString());
    }

    // Keys typed one at a time into an emptied rows box after start-up.
    void rowsBox_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("7 clamps") << "7"
                                  << "6" << QByteArray("6\r\n");
        QTest::newRow("9 clamps") << "9"
                                  << "6" << QByteArray("6\r\n");
        QTest::newRow("1 then 2 makes 12") << "12"
                                           << "6" << QByteArray("6\r\n");
        QTest::newRow("6 stays") << "6"
                                 << "6" << QByteArray("6\r\n");
        QTest::newRow("minus 5 stays") << "-5"
                                       << "-5" << QByteArray("-5\r\n");
        QTest::newRow("zero stays") << "0"
                                    << "0" << QByteArray("0\r\n");
        QTest::newRow("letters stay") << "ab"
                                      << "ab" << QByteArray("ab\r\n");
        QTest::newRow("fraction stays") << "2.5"
                                        << "2.5" << QByteArray("2.5\r\n");
        QTest::newRow("3x stays") << "3x"
                                  << "3x" << QByteArray("3x\r\n");
        QTest::newRow("hex above 6 clamps") << "&H7"
                                            << "6" << QByteArray("6\r\n");
    }
    void rowsBox() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QByteArray, saved);
        Program program;
        Startup(program);
        QLineEdit* rows = program.form1().TextRowsToCapture;
        rows->clear();
        QCOMPARE(Bytes(RowsFilePath()), QByteArray("\r\n"));
        QTest::keyClicks(rows, typed);
        QCOMPARE(rows->text(), shown);
        QCOMPARE(Bytes(RowsFilePath()), saved);
        QCOMPARE(program.vars.RowsBusy, 0);
    }

    void rowsBoxOneThenTwo() {
        Program program;
        Startup(program);
        QLineEdit* rows = program.form1().TextRowsToCapture;
        rows->clear();
        QTest::keyClicks(rows, "1");
        QCOMPARE(rows->text(), QStringLiteral("1"));
        QCOMPARE(Bytes(RowsFilePath()), QByteArray("1\r\n"));
        QTest::keyClicks(rows, "2");
        QCOMPARE(rows->text(), QStringLiteral("6"));
    }

    // Settings that are links to files elsewhere: read through, but a change replaces the
    // link with a file of the program folder's own; the file elsewhere stays as it was.
    void settingsReplaceLinks_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("url.txt") << "url.txt";
        QTest::newRow("rows.txt") << "rows.txt";
    }
    void settingsReplaceLinks() {
        QFETCH(QString, file);
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath("kept.txt");
        Put(target, file == "url.txt" ? "https://elsewhere.test/\r\n" : "3\r\n");
        const QString setting = file == "url.txt" ? UrlFilePath() : RowsFilePath();
        QVERIFY(QFile::link(target, setting));
        const auto restore = qScopeGuard([&] { QFile::remove(setting); });
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        if (file == "url.txt") {
            QCOMPARE(panel.TextURL->text(), QStringLiteral("https://elsewhere.test/"));
            panel.TextURL->setText(QStringLiteral("https://new.test/"));
            QCOMPARE(Bytes(setting), QByteArray("https://new.test/\r\n"));
            QCOMPARE(Bytes(target), QByteArray("https://elsewhere.test/\r\n"));
        } else {
            QCOMPARE(panel.TextRowsToCapture->text(), QStringLiteral("3"));
            panel.TextRowsToCapture->clear();
            QTest::keyClicks(panel.TextRowsToCapture, "2");
            QCOMPARE(Bytes(setting), QByteArray("2\r\n"));
            QCOMPARE(Bytes(target), QByteArray("3\r\n"));
        }
        QVERIFY(!QFileInfo(setting).isSymLink());
    }

    // What a run cut short left half written goes at the next start; files of other
    // names stay.
    void startupRemovesStrayTemporaries() {
        const QStringList ours{"1.bmp.glimpa-Ab12Cd",       "6.bmp.glimpa-zzzzzz",
                               "whopper.bmp.glimpa-q1W2e3", "cropped.bmp.glimpa-000000",
                               "url.txt.glimpa-a1b2c3",     "barpos.txt.glimpa-XyZ789"};
        const QStringList others{"notes.bmp.glimpa-abcdef", "1.bmp.backup",
                                 "1.bmp.glimpa-abc",        "whopper.bmp",
                                 "x1.bmp.glimpa-abcdef",    "url.txt.before"};
        for (const QString& name : ours + others) Put(AppFile(name), "part");
        Program program;
        Startup(program);
        for (const QString& name : ours) QVERIFY2(!QFile::exists(AppFile(name)), qPrintable(name));
        for (const QString& name : others) {
            QVERIFY2(QFile::exists(AppFile(name)), qPrintable(name));
            QFile::remove(AppFile(name));
        }
    }

    void enterOpensTrimmedAddress() {
        const QString page = PageFile("trim.html", "<title>trimmed</title><body>ok</body>");
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        Form0& browser = program.form0();
        browser.hide();
        const QString typed = QStringLiteral("   file://") + page + QStringLiteral("  ");
        panel.TextURL->setText(typed);
        QCOMPARE(Bytes(UrlFilePath()), typed.toLocal8Bit() + "\r\n");
        QTest::keyClick(panel.TextURL, Qt::Key_Return);
        QVERIFY(WaitForLoad(browser.WebBrowser1));
        QCOMPARE(browser.WebBrowser1->url(), QUrl(QStringLiteral("file://") + page));
        QCOMPARE(browser.WebBrowser1->title(), QStringLiteral("trimmed"));
        QCOMPARE(panel.TextURL->text(), typed);
        QVERIFY(browser.isVisible());
        QVERIFY(!browser.PictureDummy->isVisible());
    }

    void openWebpageDialog() {
        const QString page = PageFile("chosen.html", "<title>chosen</title>");
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        Form0& browser = program.form0();
        CommonDialog& dialog = browser.CommonDialog1;
        QList<CommonDialog> asked;
        std::optional<QString> answer = page;
        dialog.SetBackend([&](DialogKind kind, const CommonDialog& d) {
            if (kind == DialogKind::Open) asked << d;
            return answer;
        });

        // Cancel: nothing changes.
        answer.reset();
        const QString before = panel.TextURL->text();
        QTest::mouseClick(panel.CommandGetLocalFile, Qt::LeftButton);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].InitDir, AppPath());
        QCOMPARE(asked[0].DialogTitle, QStringLiteral("Open Webpage"));
        QCOMPARE(asked[0].Filter, QStringLiteral("Webpages (*.htm;*.html;*.mht)|*.htm;*.html;"
                                                 "*.mht|All files (*.*)|*.*"));
        QVERIFY(asked[0].CancelError);
        QCOMPARE(panel.TextURL->text(), before);
        QCOMPARE(Bytes(UrlFilePath()), QByteArray("<missing>"));
        QVERIFY(browser.PictureDummy->isVisible());

        // A chosen file opens as a file:// address.
        answer = page;
        QTest::mouseClick(panel.CommandGetLocalFile, Qt::LeftButton);
        const QString address = QStringLiteral("file://") + page;
        QCOMPARE(panel.TextURL->text(), address);
        QCOMPARE(Bytes(UrlFilePath()), address.toLocal8Bit() + "\r\n");
        QVERIFY(WaitForLoad(browser.WebBrowser1));
        QCOMPARE(browser.WebBrowser1->title(), QStringLiteral("chosen"));
        QVERIFY(!browser.PictureDummy->isVisible());

        // The next dialog starts from the file chosen last.
        QTest::mouseClick(panel.CommandGetLocalFile, Qt::LeftButton);
        QCOMPARE(asked.last().InitDir, page);
        QCOMPARE(asked.last().FileName, page);

        // Characters that mean something in an address are part of a file's name.
        answer = PageFile("a #1 50%.html", "<title>odd name</title>");
        QTest::mouseClick(panel.CommandGetLocalFile, Qt::LeftButton);
        QCOMPARE(panel.TextURL->text(), QStringLiteral("file://") + *answer);
        QVERIFY(WaitForLoad(browser.WebBrowser1));
        QCOMPARE(browser.WebBrowser1->title(), QStringLiteral("odd name"));
    }

    void escapeEndsFromEveryBox() {
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        QTest::keyClick(panel.TextURL, Qt::Key_Escape);
        QCOMPARE(ends_, 1);
        QTest::keyClick(panel.TextRowsToCapture, Qt::Key_Escape);
        QCOMPARE(ends_, 2);
        QTest::keyClick(panel.TextURL, Qt::Key_A);
        QCOMPARE(ends_, 2);
    }

    void backgroundClickTogglesBrowser() {
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        Form0& browser = program.form0();
        QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!browser.isVisible());
        QTest::mouseClick(&panel, Qt::RightButton, Qt::ShiftModifier, QPoint(5, 5));
        QVERIFY(browser.isVisible());
        QVERIFY(panel.isVisible());
        // A press on a control is not a press on the background.
        QTest::mouseClick(panel.TextURL, Qt::LeftButton);
        QTest::mouseClick(panel.Label1, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(browser.isVisible());
    }

    // The JPEG options panel and its labels lie on the control panel, but a press on
    // them is not one on the control panel's own surface.
    void pressOnJpegOptionsKeepsTheBrowser_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("panel") << "panel";
        QTest::newRow("quality caption") << "Label2";
        QTest::newRow("quality value") << "labJPGQuality";
    }
    void pressOnJpegOptionsKeepsTheBrowser() {
        QFETCH(QString, target);
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        Form0& browser = program.form0();
        JpgOptionsPanel& options = *panel.PictureJPGOptions;
        options.show();
        QWidget* pressed = target == "panel"    ? static_cast<QWidget*>(&options)
                           : target == "Label2" ? options.Label2
                                                : options.labJPGQuality;
        QVERIFY(browser.isVisible());
        QTest::mouseClick(pressed, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(browser.isVisible());
        // The surface itself still toggles.
        QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!browser.isVisible());
    }

    // Pasted text loses its line breaks as a browser's address bar drops them: the
    // box and url.txt get one line.
    void pastedAddressIsOneLine_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("trailing CR LF") << "http://example.org/page\r\n"
                                        << "http://example.org/page";
        QTest::newRow("broken over lines") << "http://example.org/a/\n  b/c?d=1\n"
                                           << "http://example.org/a/b/c?d=1";
        QTest::newRow("plain") << "http://example.org/x"
                               << "http://example.org/x";
    }
    void pastedAddressIsOneLine() {
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        QApplication::clipboard()->setText(pasted);
        panel.TextURL->setFocus();
        panel.TextURL->selectAll();
        QTest::keyClick(panel.TextURL, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(panel.TextURL->text(), kept);
        QCOMPARE(Bytes(UrlFilePath()), kept.toLatin1() + "\r\n");
    }

    // An address far longer than a line edit usually takes stays whole, in the box,
    // in url.txt, and at the next start.
    void longAddressStaysWhole() {
        QString address = QStringLiteral("http://example.org/?q=");
        address += QString(2 * 1000 * 1000, u'x');
        address += QStringLiteral("&end=1");
        {
            Program program;
            Startup(program);
            Form1& panel = program.form1();
            QApplication::clipboard()->setText(address);
            panel.TextURL->setFocus();
            panel.TextURL->selectAll();
            QTest::keyClick(panel.TextURL, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(panel.TextURL->text().size(), address.size());
            QVERIFY(panel.TextURL->text() == address);
            QVERIFY(Bytes(UrlFilePath()) == address.toLatin1() + "\r\n");
        }
        Program program;
        Startup(program);
        QVERIFY(program.form1().TextURL->text() == address);
    }

    // The real file dialogs list each pattern once.
    void dialogsShowEachPatternOnce() {
        Program program;
        Startup(program);
        QVERIFY(SavePicture(QImage(3, 3, QImage::Format_RGB32), AppFile("cropped.bmp")));
        QStringList shown;
        const auto answerDialog = [&shown] {
            QTimer::singleShot(0, [&shown] {
                QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
                auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                shown << box->nameFilters();
                box->reject();
            });
        };
        answerDialog();
        CommandSaveAs_Click(program);
        answerDialog();
        program.form1().CommandGetLocalFile_Click();
        QCOMPARE(shown, QStringList({"Windows Bitmap file (*.bmp)",
                                     "Joint Photographic Experts Group file (*.jpg)",
                                     "Graphic Interchange Format file - 256 cols. (*.gif)",
                                     "Portable Network Graphic file (*.png)",
                                     "Webpages (*.htm *.html *.mht)", "All files (*)"}));
        QFile::remove(AppFile("cropped.bmp"));
    }

    void keyOnBrowserWindowEnds() {
        Program program;
        Startup(program);
        Form0& browser = program.form0();
        QVERIFY(browser.PictureDummy->isVisible());
        QTest::keyClick(browser.PictureDummy, Qt::Key_Q);
        QCOMPARE(ends_, 1);
        QTest::keyClick(&browser, Qt::Key_Escape);
        QCOMPARE(ends_, 2);
    }

    void keyTypedIntoPageGoesToPage() {
        const QString page =
            PageFile("form.html", "<body><input id=f autofocus><p>a form</p></body>");
        Program program;
        Startup(program);
        Form1& panel = program.form1();
        Form0& browser = program.form0();
        panel.TextURL->setText(QStringLiteral("file://") + page);
        QTest::keyClick(panel.TextURL, Qt::Key_Return);
        QVERIFY(WaitForLoad(browser.WebBrowser1));
        browser.activateWindow();
        browser.WebBrowser1->setFocus();
        QWidget* target = browser.WebBrowser1->focusProxy();
        QVERIFY(target);
        QTRY_VERIFY(target->hasFocus());
        RunScript(browser.WebBrowser1, "document.getElementById('f').focus()");
        QTest::keyClicks(target, "hello");
        QTRY_COMPARE(
            RunScript(browser.WebBrowser1, "document.getElementById('f').value").toString(),
            QStringLiteral("hello"));
        // A key the page does not use comes back to the window; it is still the page's.
        RunScript(browser.WebBrowser1, "document.activeElement.blur()");
        QTest::keyClick(target, Qt::Key_Q);
        QTest::qWait(300);
        QCOMPARE(ends_, 0);
    }

    void help_data() {
        QTest::addColumn<bool>("present");
        QTest::newRow("help document present") << true;
        QTest::newRow("help document missing") << false;
    }
    void help() {
        QFETCH(bool, present);
        Program program;
        Startup(program);
        QFile::remove(HelpFilePath());
        if (present) Put(HelpFilePath(), "<title>help</title>");
        QList<std::pair<QString, int>> opened;
        SetDocumentOpener([&](const QString& what, int show) {
            opened << std::make_pair(what, show);
            return true;
        });
        QTest::mouseClick(program.form1().CommandHelp, Qt::LeftButton);
        QTest::mouseClick(program.form1().CommandHelp, Qt::LeftButton);
        SetDocumentOpener(nullptr);
        const auto expected = present ? std::make_pair(HelpFilePath(), 1)
                                      : std::make_pair(program.form0().LabelHelpURL->text(), 3);
        QCOMPARE(opened, (QList<std::pair<QString, int>>{expected, expected}));
    }
};

GLIMPA_TEST_MAIN(AppWindowsTest, SCREEN_W, SCREEN_H)
#include "app_windows_test.moc"
