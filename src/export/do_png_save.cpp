#include "app/program.h"
#include "crop/form99.h"
#include "export/cgdiplus.h"

void Form99::Do_PNG_Save() {
    // The persistent drawing the crop made becomes the box's picture: that is what
    // gets written.
    PictureCropped->SetPicture(PictureCropped->Image());
    PictureCropped->update();
    if (!PngWriter) return;
    PngWriter->PictureBoxToFile(PictureCropped->Picture(), program_.vars.SavePath, 85);
}
