#include "desktop/crop_command.h"

#include "desktop/bring_forward.h"
#include "desktop/form99.h"
#include "desktop/program.h"
#include "engine/settings_files.h"

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
