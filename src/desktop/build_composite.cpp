#include "desktop/build_composite.h"

#include <cstring>

#include "desktop/beep.h"
#include "desktop/form99.h"
#include "desktop/mouse_pointer.h"
#include "desktop/program.h"
#include "engine/bounded_wait.h"
#include "engine/capture_files.h"
#include "engine/crop_image.h"
#include "files/program_files.h"
#include "files/replace_file.h"
#include "formats/bitmap_file.h"

namespace {

// The composite straight from the capture's picture, when every row file is still the
// one cut from it: the same pixels the files hold, without reading them back. Null when
// a row file changed since (it is then read as it now is).
QImage CompositeFromShot(const CaptureFiles& files, QSize size, int screenHeight, int rows) {
    const QImage& shot = files.Shot();
    if (rows < 1 || shot.width() != size.width() || shot.height() < rows * screenHeight ||
        shot.format() != QImage::Format_RGB32)
        return {};
    for (int row = 1; row <= rows; ++row)
        if (!files.RowFileFromShot(row, RowFilePath(row))) return {};
    if (shot.size() == size && rows * screenHeight == size.height()) return shot;
    QImage composite(size, QImage::Format_RGB32);
    if (composite.isNull()) return {};
    composite.fill(Qt::white);
    const int painted = std::min(rows * screenHeight, size.height());
    for (int y = 0; y < painted; ++y)
        std::memcpy(composite.scanLine(y), shot.constScanLine(y),
                    std::min(composite.bytesPerLine(), shot.bytesPerLine()));
    return composite;
}

}  // namespace

CompositeOutcome BuildComposite(Program& program, CaptureFiles& files) {
    ModuleVariables& v = program.vars;
    Form99& editor = program.form99();
    const double rows = v.RowsToCapture;

    SetScreenMousePointer(kPointerHourglass);
    editor.PictureWhopper->SetWidth(v.Form99Width);
    const double height = rows * double(v.Form99Height);
    if (height < 0) return {};
    editor.PictureWhopper->SetHeight(static_cast<Twips>(height));

    const QRect band(0, 0, TwipsToPixels(v.Form99Width), TwipsToPixels(v.Form99Height));
    const int whole = rows >= 1 ? static_cast<int>(std::min(rows, 1e6)) : 0;
    const QImage fromShot =
        CompositeFromShot(files, editor.PictureWhopper->Image().size(), band.height(), whole);
    if (!fromShot.isNull()) {
        editor.PictureWhopper->AdoptImage(fromShot);
        v.ScreenCount = whole;
        v.CurrentRow = whole + 1;
    } else {
        // The part of a fractional last band that no row reaches shows white, never an
        // earlier capture's pixels.
        const int painted = whole * band.height();
        const QImage& box = editor.PictureWhopper->Image();
        if (!box.isNull() && box.height() > painted) {
            QImage white(box.width(), box.height() - painted, QImage::Format_RGB32);
            white.fill(Qt::white);
            editor.PictureWhopper->PaintPicture(white, 0, painted);
        }
        v.ScreenCount = 0;
        for (v.CurrentRow = 1; v.CurrentRow <= rows; v.CurrentRow = v.CurrentRow + 1) {
            v.ScreenCount = v.ScreenCount + 1;
            const int k = v.ScreenCount;
            const int y = TwipsToPixels((k - 1) * double(v.Form99Height));
            const auto row =
                LoadPicture(files.Readable(RowFilePath(static_cast<int>(v.CurrentRow))));
            if (!row) return {};
            editor.PictureBuffer->SetPicture(*row);
            LetPendingEventsRun();
            editor.PictureWhopper->PaintPicture(editor.PictureBuffer->Picture(), 0, y, band);
            LetPendingEventsRun();
        }
    }

    // Without a single row there is no picture of the page (no rows at all, or less
    // than one): an empty or blank file would pass for a capture.
    const QImage composite = editor.PictureWhopper->Image();
    if (v.ScreenCount == 0 || composite.isNull()) return {};
    // The rows and the composite go in place together, only now that all are written.
    Outcome written = files.Write(composite, WhopperFilePath());
    if (written) written = files.Commit();
    // cropped.bmp is what Save As writes: the whole page until a crop, like the box.
    if (written) written = ReplaceWithLink(WhopperFilePath(), CroppedFilePath());
    if (!written) return {false, true, written.reason, !files.Replaced()};

    // The crop result box takes the whole composite, size and pixels, until a crop.
    editor.PictureCropped->SetWidth(editor.PictureWhopper->Width());
    editor.PictureCropped->SetHeight(editor.PictureWhopper->Height());
    editor.PictureCropped->SetPicture(composite);
    Beep();
    SetScreenMousePointer(kPointerDefault);
    return {true, false, QString(), false};
}
