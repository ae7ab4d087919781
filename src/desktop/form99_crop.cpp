// The crop: a double-click on the composite saves the bar places, copies the pixels
// inside the bars into the result box and cropped.bmp, and hands the screen back to
// the control panel.
#include <QFile>

#include "desktop/beep.h"
#include "desktop/bring_forward.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/message_box.h"
#include "desktop/program.h"
#include "engine/crop_image.h"
#include "engine/save_outcome.h"
#include "engine/settings_files.h"
#include "files/program_folder.h"
#include "formats/bitmap_file.h"

void Form99::PictureWhopper_DblClick() {
    // Saved first: a crop that is refused still leaves the places for next time.
    WriteBarPositions(model_.BarPositionsToSave());
    // A refused crop, or one that could not be written, leaves the bars on show:
    // nothing may look cropped.
    if (!CropPicture()) return;
    PictureWhopper->hide();
    PictureCropped->show();
    PictureCropControls->SetLeft(program_.vars.CropControlsHomeLeft);
    PictureCropControls->SetTop(program_.vars.CropControlsHomeTop);
    Form1& panel = program_.form1();
    panel.show();
    BringForward(program_.form0());
    BringForward(panel);
}

bool Form99::CropPicture() {
    // The pixels the boxes name: columns Left..Right-1, rows Top..Bottom-1, taken from
    // the composite itself so that nothing lying over it on screen is copied, and only
    // as far as the composite goes. Bars that cross (an empty or negative rectangle),
    // or that hold no pixel of the composite, leave the previous result alone.
    const QImage cropped = CropComposite(PictureWhopper->Image(), model_.CropPixels());
    if (cropped.isNull()) {
        Beep();
        return false;
    }
    PictureCropped->SetWidth(PixelsToTwips(cropped.width()));
    PictureCropped->SetHeight(PixelsToTwips(cropped.height()));
    PictureCropped->PaintPicture(cropped, 0, 0);
    const QString path = CroppedFilePath();
    if (!SavePicture(PictureCropped->Image(), path, ReplaceFile::Kind::Own)) {
        // A stale cropped.bmp must not be saved later as this crop.
        QFile::remove(path);
        const qint64 needed = 54 + qint64(cropped.height()) * ((cropped.width() * 3 + 3) / 4 * 4);
        MsgBox(CropNotSavedText(path, WriteFailureReason(path, needed)), kMsgBoxExclamation,
               QStringLiteral("Glimpa"));
        return false;
    }
    Beep();
    return true;
}
