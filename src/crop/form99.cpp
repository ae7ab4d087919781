#include "crop/form99.h"

#include "app/program.h"
#include "export/cgdiplus.h"

Form99::Form99(Program& program) : program_(program) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Form2"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    PictureCropControls = new PictureBox(this);
    PictureCropControls->SetRect(4200, 2400, 2895, 6690);
    PictureCropped = new PictureBox(this);
    PictureCropped->SetRect(0, 0, 1215, 495);
    PictureCropped->hide();
    PictureBuffer = new PictureBox(this);
    PictureBuffer->SetRect(1440, 3960, 1215, 495);
    PictureBuffer->hide();
    PictureWhopper = new PictureBox(this);
    PictureWhopper->SetRect(0, 0, 3855, 3615);
    PictureWhopper->hide();
    PictureVerticalBar2 = new PictureBox(PictureWhopper, Qt::red);
    PictureVerticalBar2->SetRect(480, 600, 60, 2175);
    PictureVerticalBar1 = new PictureBox(PictureWhopper, Qt::red);
    PictureVerticalBar1->SetRect(240, 600, 60, 2175);
    PictureHorizBar2 = new PictureBox(PictureWhopper, Qt::red);
    PictureHorizBar2->SetRect(720, 1680, 3015, 60);
    PictureHorizBar1 = new PictureBox(PictureWhopper, Qt::red);
    PictureHorizBar1->SetRect(720, 840, 3015, 60);
    for (PictureBox* bar :
         {PictureVerticalBar2, PictureVerticalBar1, PictureHorizBar2, PictureHorizBar1})
        bar->hide();
    PictureCropControls->raise();
}

Form99::~Form99() = default;

void Form99::Form_Load() {
    PngWriter = std::make_unique<cGdiPlus>();
}

void Form99::Form_Unload() {
    PngWriter.reset();
}
