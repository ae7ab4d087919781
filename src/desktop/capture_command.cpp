#include "desktop/capture_command.h"

#include <QDir>
#include <QEventLoop>
#include <QScopeGuard>
#include <algorithm>
#include <cmath>

#include "desktop/beep.h"
#include "desktop/build_composite.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/grab_screens.h"
#include "desktop/message_box.h"
#include "desktop/mouse_pointer.h"
#include "desktop/picture_button.h"
#include "desktop/place_windows.h"
#include "desktop/program.h"
#include "engine/bounded_wait.h"
#include "engine/capture_engine.h"
#include "engine/capture_files.h"
#include "engine/val.h"
#include "files/program_files.h"
#include "files/program_folder.h"

namespace {

constexpr double kMostRows = 6;

// How long the window system may take to give the browser window the whole screen.
constexpr WaitBound kWindowBound(2000);
// How long the page may take to lay itself out in the tall view and load the images
// that came into sight; a page that takes longer is grabbed as it then stands.
constexpr WaitBound kPageBound(8000);

bool CoversScreen(const Form0& browser, const ModuleVariables& v) {
    return browser.geometry() ==
           QRect(0, 0, TwipsToPixels(v.Form99Width), TwipsToPixels(v.Form99Height));
}

// The engine that works on the browser control, made on the first capture.
CaptureEngine& EngineFor(QWebEngineView& view) {
    auto* engine = view.findChild<CaptureEngine*>(QString(), Qt::FindDirectChildrenOnly);
    if (!engine) engine = new CaptureEngine(view, &view);
    return *engine;
}

// The page in the control as it looks, `rows` screens from the top, once it settled.
// The handler waits here as it waits everywhere, letting other events run.
QImage ShootPage(QWebEngineView& view, const ModuleVariables& v) {
    ShotRequest request;
    request.width = TwipsToPixels(v.Form99Width);
    request.screenHeight = TwipsToPixels(v.Form99Height);
    request.screens = v.RowsToCapture;
    request.timeout = kPageBound;
    // The page is given back once the files are written, not beside their writing.
    request.giveBackLater = true;
    CaptureEngine& engine = EngineFor(view);
    QImage picture;
    QEventLoop loop;
    QObject::connect(&engine, &CaptureEngine::Finished, &loop, [&](const ShotResult& result) {
        picture = result.picture;
        loop.quit();
    });
    engine.Shoot(request);
    loop.exec();
    return picture;
}

// The row files and the composite as they will be cut from the engine's picture, for a
// second core to write while the rows are grabbed; any other content is written as it is.
std::vector<FileAhead> FilesCutFrom(const QImage& shot, const ModuleVariables& v) {
    const QSize screen(TwipsToPixels(v.Form99Width), TwipsToPixels(v.Form99Height));
    std::vector<FileAhead> files;
    for (int row = 1; row <= v.RowsToCapture && row * screen.height() <= shot.height(); ++row)
        files.push_back({RowFilePath(row), QRect(QPoint(0, (row - 1) * screen.height()), screen)});
    files.push_back({WhopperFilePath(), shot.rect()});
    return files;
}

void SayNotWritten(const CompositeOutcome& composite) {
    MsgBox(QStringLiteral("The capture could not be saved: Glimpa cannot write its picture "
                          "files in the folder %1 (%2). %3")
               .arg(QDir::toNativeSeparators(AppPath()), composite.reason,
                    composite.previousKept
                        ? QStringLiteral("The previous capture is kept.")
                        : QStringLiteral("Some of its files are new and some are the previous "
                                         "capture's: capture again.")),
           kMsgBoxExclamation, QStringLiteral("Glimpa"));
}

}  // namespace

void CommandCapture_Click(Program& program) {
    // A second press handled during a capture's waits would grab into the same files
    // and boxes; it is ignored.
    static bool running = false;
    if (running) return;
    running = true;
    const auto done = qScopeGuard([] { running = false; });

    ModuleVariables& v = program.vars;
    Form0& browser = program.form0();
    Form1& panel = program.form1();
    Form99& editor = program.form99();
    WebBrowser& page = *browser.WebBrowser1;

    panel.hide();
    browser.SetLeft(0);
    browser.SetTop(0);
    browser.SetWidth(editor.Width());
    browser.SetHeight(editor.Height());
    // A browser window the user had hidden would grab nothing of the page.
    browser.show();
    browser.PictureCapture->SetWidth(v.Form99Width);
    browser.PictureCapture->SetHeight(v.Form99Height);
    page.SetRect(0, 0, v.Form99Width, v.Form99Height);
    SetScreenMousePointer(kPointerHourglass);
    v.ScreenCount = 0;
    // Start-up puts rows.txt into the box unlimited, and a hand-edited file may hold
    // 40 or 1e999: the capture never takes more than the six screens it is made for.
    v.RowsToCapture = std::min(Val(panel.TextRowsToCapture->text()), kMostRows);

    // The engine lays the page out in the tall view as it looks at one screen, lets it
    // load what came into sight and takes its picture once; each grab then cuts its
    // screen from that picture as the control moves. The control stays one screen high
    // meanwhile: the engine measures the page there first, and every resize of a tall
    // view costs a full frame.
    CaptureFiles files;
    if (v.RowsToCapture >= 1) {
        WaitUntil([&] { return CoversScreen(browser, v); }, kWindowBound);
        const QImage shot = ShootPage(page, v);
        files.SetShot(shot, FilesCutFrom(shot, v));
    }
    // Rows cut from the engine's picture need neither the tall control nor a repaint of
    // it at each move: the window shows the page again once the rows are written. Rows
    // grabbed from the screen need the control covering them all; a negative height is
    // no size at all, and the control keeps one screen's height.
    const bool rowsFromShot =
        files.Shot().height() >= std::ceil(v.RowsToCapture) * TwipsToPixels(v.Form99Height);
    // Rows grabbed from the screen show the page as the user sees it, not as it was held
    // for the shot; rows cut from the shot have it given back once they are written.
    CaptureEngine& engine = EngineFor(page);
    if (!rowsFromShot) engine.GiveBack();
    const double tall = double(v.Form99Height) * v.RowsToCapture;
    if (!rowsFromShot && tall >= 0) page.SetHeight(static_cast<Twips>(tall));
    browser.setUpdatesEnabled(!rowsFromShot);
    Outcome grabbed = Outcome::Done();
    for (v.CurrentRow = 1; v.CurrentRow <= v.RowsToCapture; v.CurrentRow = v.CurrentRow + 1) {
        // A row that could not be written ends the grabs: a composite of it would show
        // an older capture's screen as new.
        grabbed = GrabScreens(program, files);
        if (!grabbed) break;
    }
    browser.setUpdatesEnabled(true);
    LetPendingEventsRun();
    const CompositeOutcome composite = grabbed
                                           ? BuildComposite(program, files)
                                           : CompositeOutcome{false, true, grabbed.reason, true};
    files.ForgetFilesAhead();
    engine.GiveBack();
    const bool notWritten = composite.notWritten;

    SetScreenMousePointer(kPointerDefault);
    Beep();
    browser.SetWidth(7200);
    browser.SetHeight(5200);
    page.SetRect(0, 0, 7200, 5200);
    PlaceWindows(program);
    browser.PictureDummy->setVisible(false);
    // A capture that could not be written leaves the Crop button as it was: nothing new
    // to crop.
    if (notWritten)
        SayNotWritten(composite);
    else
        panel.CommandCrop->setEnabled(true);
}
