#include "desktop/form99.h"
#include "desktop/program.h"
#include "engine/cgdiplus.h"

void Form99::Do_PNG_Save() {
    // The persistent drawing the crop made becomes the box's picture: that is what
    // gets written.
    PictureCropped->SetPicture(PictureCropped->Image());
    PictureCropped->update();
    Do_PNG_Save(PictureCropped->Picture());
}

bool Form99::Do_PNG_Save(const QImage& picture) {
    if (!PngWriter) return false;
    return PngWriter->PictureBoxToFile(picture, program_.vars.SavePath, 85);
}
