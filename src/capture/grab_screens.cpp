#include "capture/grab_screens.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include "app/form0.h"
#include "app/program.h"
#include "capture/bounded_wait.h"
#include "capture/page_settle.h"
#include "capture/row_files.h"
#include "platform/bitmap_file.h"
#include "platform/twips.h"

namespace {

// A written row file is readable at once on a local disk; a slow network folder gets
// this long to show it.
constexpr WaitBound kRowFileBound(2000);

// The browser window's own picture at screen size: exactly what it shows, with no
// other window in it.
QImage GrabBrowserWindow(Form0& browser, const ModuleVariables& v) {
    const QRect screen(0, 0, TwipsToPixels(v.Form99Width), TwipsToPixels(v.Form99Height));
    return browser.grab(screen).toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

bool GrabScreens(Program& program) {
    ModuleVariables& v = program.vars;
    Form0& browser = program.form0();
    WebBrowser& page = *browser.WebBrowser1;

    v.ScreenCount = v.ScreenCount + 1;
    const int k = v.ScreenCount;
    page.SetTop(static_cast<Twips>(-(k - 1) * double(v.Form99Height)));
    page.SetLeft(0);
    const int row = static_cast<int>(v.CurrentRow);
    const QString rowFile = RowFilePath(row);
    QFile::remove(rowFile);

    // Moving the control changes nothing inside the browser (its view is as tall as all
    // rows and was settled after it grew); the window repaints the moved control as it
    // is grabbed. Pending events still run, as during any wait of the capture.
    LetPendingEventsRun();

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QImage screen = GrabBrowserWindow(browser, v);
    clipboard->setImage(screen);
    browser.PictureCapture->PaintPicture(screen, 0, 0);

    // The write either happens now or not at all; only a file that was written is
    // waited for, and never without end.
    const bool written = SavePicture(browser.PictureCapture->Image(), rowFile) &&
                         WaitForReadableFile(rowFile, kRowFileBound);
    page.SetLeft(0);
    return written;
}
