#pragma once
// The crop editor: frameless over the whole screen, behind the other two windows.
// Shows the composite with its four red cropping bars and the coordinate panel.
#include <memory>

#include "platform/picture_box.h"
#include "platform/twipped.h"

class Program;
class cGdiPlus;

class Form99 : public Twipped<QWidget> {
    Q_OBJECT
  public:
    explicit Form99(Program& program);
    ~Form99() override;

    void Form_Load();
    void Form_Unload();

    // Writes the cropped picture to SavePath as PNG (the Save As command's PNG branch).
    void Do_PNG_Save();

    PictureBox* PictureCropControls;
    PictureBox* PictureCropped;
    PictureBox* PictureBuffer;
    PictureBox* PictureWhopper;
    PictureBox* PictureVerticalBar2;
    PictureBox* PictureVerticalBar1;
    PictureBox* PictureHorizBar2;
    PictureBox* PictureHorizBar1;

    std::unique_ptr<cGdiPlus> PngWriter;

  private:
    Program& program_;
};
