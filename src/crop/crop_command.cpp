#include "crop/crop_command.h"

#include "app/program.h"
#include "app/settings_files.h"
#include "crop/form99.h"
#include "platform/bring_forward.h"

void CommandCrop_Click(Program& program) {
    Form99& editor = program.form99();
    editor.ResetCropBars();
    // Each readable saved place is applied; a word in place of a number leaves only
    // that bar at its default, too few values leave all four there.
    if (const auto saved = ReadBarPositions()) editor.ApplyBarPositions(*saved);
    editor.ShowCropView();
    editor.PictureCropped->hide();
    editor.show();
    BringForward(editor);
    for (PictureBox* bar : {editor.PictureHorizBar1, editor.PictureHorizBar2,
                            editor.PictureVerticalBar1, editor.PictureVerticalBar2})
        bar->raise();
    editor.UpdateCropBoxes();
    // Wherever the panel stands now becomes its home.
    program.vars.CropControlsHomeLeft = editor.PictureCropControls->Left();
    program.vars.CropControlsHomeTop = editor.PictureCropControls->Top();
}
