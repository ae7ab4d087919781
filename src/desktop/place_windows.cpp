#include "desktop/place_windows.h"

#include <QGuiApplication>
#include <QScreen>

#include "desktop/bring_forward.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/program.h"

namespace {

// Frameless and maximised: not every window manager honours "maximised" (a bare X
// server has none), so the editor is given the screen's geometry itself.
void ShowMaximised(Form99& editor) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    editor.SetRect(PixelsToTwips(area.x()), PixelsToTwips(area.y()), PixelsToTwips(area.width()),
                   PixelsToTwips(area.height()));
    editor.show();
}

}  // namespace

void PlaceWindows(Program& program) {
    ModuleVariables& v = program.vars;
    Form99& editor = program.form99();
    ShowMaximised(editor);
    v.Form99Width = editor.Width();
    v.Form99Height = editor.Height();

    Form0& browser = program.form0();
    browser.WebBrowser1->SetWidth(7200);
    browser.WebBrowser1->SetHeight(5200);
    browser.SetWidth(browser.WebBrowser1->Width());
    browser.SetHeight(browser.WebBrowser1->Height());

    browser.PictureDummy->SetWidth(browser.Width());
    browser.PictureDummy->SetHeight(browser.Height());
    browser.PictureDummy->show();

    // The panel's width is its design width on the first run, so the browser window
    // then lands 60 twips right of centre; later runs see it widened to match.
    Form1& panel = program.form1();
    browser.SetLeft(static_cast<Twips>(double(v.Form99Width) / 2 - double(panel.Width()) / 2));
    browser.SetTop(static_cast<Twips>(
        (double(v.Form99Height) - (double(browser.Height()) + double(panel.Height()))) / 2));
    panel.SetLeft(browser.Left());
    panel.SetTop(static_cast<Twips>(double(browser.Top()) + double(browser.Height())));
    panel.SetWidth(browser.Width());

    browser.show();
    panel.show();
    BringForward(panel);

    editor.PictureCropControls->SetLeft(browser.Left());
    editor.PictureCropControls->SetTop(browser.Top());
    v.CropControlsHomeLeft = editor.PictureCropControls->Left();
    v.CropControlsHomeTop = editor.PictureCropControls->Top();

    panel.TextURL->setFocus();
}
