#include "capture/build_composite.h"

#include "app/program.h"
#include "capture/bounded_wait.h"
#include "capture/row_files.h"
#include "crop/form99.h"
#include "platform/beep.h"
#include "platform/bitmap_file.h"
#include "platform/mouse_pointer.h"

bool BuildComposite(Program& program) {
    ModuleVariables& v = program.vars;
    Form99& editor = program.form99();
    const double rows = v.RowsToCapture;

    SetScreenMousePointer(kPointerHourglass);
    editor.PictureWhopper->SetWidth(v.Form99Width);
    const double height = rows * double(v.Form99Height);
    if (height < 0) return false;
    editor.PictureWhopper->SetHeight(static_cast<Twips>(height));

    const QRect band(0, 0, TwipsToPixels(v.Form99Width), TwipsToPixels(v.Form99Height));
    v.ScreenCount = 0;
    for (v.CurrentRow = 1; v.CurrentRow <= rows; v.CurrentRow = v.CurrentRow + 1) {
        v.ScreenCount = v.ScreenCount + 1;
        const int k = v.ScreenCount;
        const int y = TwipsToPixels((k - 1) * double(v.Form99Height));
        const auto row = LoadPicture(RowFilePath(static_cast<int>(v.CurrentRow)));
        if (!row) return false;
        editor.PictureBuffer->SetPicture(*row);
        LetPendingEventsRun();
        editor.PictureWhopper->PaintPicture(editor.PictureBuffer->Picture(), 0, y, band);
        LetPendingEventsRun();
    }

    // Without a single row there is no picture of the page (no rows at all, or less
    // than one): an empty or blank file would pass for a capture.
    const QImage& composite = editor.PictureWhopper->Image();
    if (v.ScreenCount == 0 || composite.isNull()) return false;
    if (!SavePicture(composite, WhopperFilePath())) return false;

    // The crop result box takes the whole composite, size and pixels, until a crop.
    editor.PictureCropped->SetWidth(editor.PictureWhopper->Width());
    editor.PictureCropped->SetHeight(editor.PictureWhopper->Height());
    editor.PictureCropped->SetPicture(composite);
    Beep();
    SetScreenMousePointer(kPointerDefault);
    return true;
}
