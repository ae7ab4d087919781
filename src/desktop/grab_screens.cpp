#include "desktop/grab_screens.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include "desktop/form0.h"
#include "desktop/program.h"
#include "engine/bounded_wait.h"
#include "engine/capture_files.h"
#include "engine/twips.h"
#include "files/program_files.h"

namespace {

// A written row file is readable at once on a local disk; a slow network folder gets
// this long to show it.
constexpr WaitBound kRowFileBound(2000);

// The browser window's own picture at screen size: exactly what it shows, with no
// other window in it. Used when the capture engine left no picture of this band.
QImage GrabBrowserWindow(Form0& browser, const QRect& screen) {
    return browser.grab(screen).toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

Outcome GrabScreens(Program& program, CaptureFiles& files) {
    ModuleVariables& v = program.vars;
    Form0& browser = program.form0();
    WebBrowser& page = *browser.WebBrowser1;

    v.ScreenCount = v.ScreenCount + 1;
    const int k = v.ScreenCount;
    page.SetTop(static_cast<Twips>(-(k - 1) * double(v.Form99Height)));
    page.SetLeft(0);
    const int row = static_cast<int>(v.CurrentRow);
    const QString rowFile = RowFilePath(row);

    // The engine took the page as it looks (viewport heights kept, no scrollbar, fixed
    // elements once) in one picture after the page settled; row k is its k-th band,
    // the part of the control that this move brings into the window.
    LetPendingEventsRun();

    const QRect screen(0, 0, TwipsToPixels(v.Form99Width), TwipsToPixels(v.Form99Height));
    const QRect band = screen.translated(0, (k - 1) * screen.height());
    // The band shares the picture's pixels, with the clipboard and the buffer alike.
    const QImage fromShot = files.ShotPart(band);
    const QImage grabbed = fromShot.isNull() ? GrabBrowserWindow(browser, screen) : fromShot;
    // The clipboard is emptied and then holds the grab. Setting it replaces what it held
    // as emptying it would, so it is emptied on its own only where there is no grab: each
    // of these costs the window system's round trips, a clear two of them.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (grabbed.isNull())
        clipboard->clear();
    else
        clipboard->setImage(grabbed);
    browser.PictureCapture->PaintPicture(grabbed, 0, 0);

    // The write either happens now or not at all; only a file that was written is
    // waited for, and never without end.
    Outcome written = files.Write(browser.PictureCapture->Image(), rowFile);
    if (written && !WaitForReadableFile(files.Readable(rowFile), kRowFileBound))
        written = Outcome::Failed(QStringLiteral("the file written could not be read back"));
    if (written && !fromShot.isNull()) files.RememberRowFile(row, rowFile);
    page.SetLeft(0);
    return written;
}
