#include "desktop/form99.h"

#include <QPainter>
#include <QRubberBand>

#include "desktop/bring_forward.h"
#include "desktop/end_program.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/panel_art.h"
#include "desktop/program.h"
#include "engine/cgdiplus.h"

namespace {

PictureBox* Bar(QWidget* picture) {
    auto* bar = new PictureBox(picture, Qt::red);
    bar->setFocusPolicy(Qt::ClickFocus);
    bar->hide();
    return bar;
}

// What a bar covers on screen: its edges go through the same conversion as the
// coordinate boxes, so the pixels between the bars are the ones the crop copies.
void PlaceBar(PictureBox* bar, const TwipRect& rect) {
    bar->SetRect(rect.Left, rect.Top, rect.Width, rect.Height);
    bar->setGeometry(PixelRectOf(rect));
}

}  // namespace

Form99::Form99(Program& program) : program_(program) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Form2"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFocusPolicy(Qt::StrongFocus);

    // Bottom-most first, so the later boxes lie above the earlier ones.
    PictureWhopper = new PictureBox(this);
    PictureWhopper->SetRect(0, 0, 3855, 3615);
    PictureWhopper->setFocusPolicy(Qt::ClickFocus);
    PictureWhopper->hide();
    PictureHorizBar1 = Bar(PictureWhopper);
    PictureHorizBar2 = Bar(PictureWhopper);
    PictureVerticalBar1 = Bar(PictureWhopper);
    PictureVerticalBar2 = Bar(PictureWhopper);
    PushBars();

    PictureBuffer = new PictureBox(this);
    PictureBuffer->SetRect(1440, 3960, 1215, 495);
    PictureBuffer->hide();
    PictureCropped = new PictureBox(this);
    PictureCropped->SetRect(0, 0, 1215, 495);
    PictureCropped->hide();

    PictureCropControls = new CropControlsPanel(this);
    PictureCropControls->setFocusPolicy(Qt::ClickFocus);

    dragOutline_ = new QRubberBand(QRubberBand::Rectangle, this);
    // The outline follows the pointer but never stands between it and a drop place.
    dragOutline_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dragOutline_->hide();

    // Key preview and mouse routing: the window sees every child's events first.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

Form99::~Form99() = default;

void Form99::Form_Load() {
    PngWriter = std::make_unique<cGdiPlus>();
}

void Form99::Form_Unload() {
    PngWriter.reset();
}

std::array<QWidget*, 5> Form99::CropView() const {
    return {PictureWhopper, PictureHorizBar1, PictureHorizBar2, PictureVerticalBar1,
            PictureVerticalBar2};
}

void Form99::PullPicture() {
    model_.Picture = {PictureWhopper->Left(), PictureWhopper->Top(), PictureWhopper->Width(),
                      PictureWhopper->Height()};
    model_.Form99Width = program_.vars.Form99Width;
    model_.Form99Height = program_.vars.Form99Height;
}

void Form99::PushPicture() {
    if (PictureWhopper->Left() != model_.Picture.Left) PictureWhopper->SetLeft(model_.Picture.Left);
    if (PictureWhopper->Top() != model_.Picture.Top) PictureWhopper->SetTop(model_.Picture.Top);
}

void Form99::PushBars() {
    PlaceBar(PictureHorizBar1, model_.HorizBar1);
    PlaceBar(PictureHorizBar2, model_.HorizBar2);
    PlaceBar(PictureVerticalBar1, model_.VerticalBar1);
    PlaceBar(PictureVerticalBar2, model_.VerticalBar2);
}

void Form99::PushBoxes() {
    const auto boxes = PictureCropControls->Boxes();
    for (int i = 0; i < CropEditorModel::BoxCount; ++i) {
        // Setting the same text again would move the caret and drop the selection of
        // a box the user is typing into.
        if (boxes[i]->text() != model_.Boxes[i]) boxes[i]->setText(model_.Boxes[i]);
    }
}

void Form99::PullBoxes() {
    const auto boxes = PictureCropControls->Boxes();
    for (int i = 0; i < CropEditorModel::BoxCount; ++i) model_.Boxes[i] = boxes[i]->text();
}

void Form99::ResetCropBars() {
    PullPicture();
    model_.ResetCropBars();
    PushBars();
}

void Form99::UpdateCropBoxes() {
    model_.UpdateCropBoxes();
    PushBoxes();
}

void Form99::ApplyCropBoxes() {
    PullBoxes();
    model_.ApplyCropBoxes();
    PushBars();
    PushBoxes();
}

void Form99::ApplyBarPositions(const BarPositions& places) {
    model_.ApplyBarPositions(places);
    PushBars();
}

void Form99::ShowCropView() {
    for (QWidget* w : CropView()) w->show();
}

void Form99::HideCropView() {
    for (QWidget* w : CropView()) w->hide();
}

void Form99::Form_KeyDown(int keyCode, int shift) {
    switch (ClassifyEditorKey(keyCode)) {
        case EditorKey::TogglePanel:
            if (!PictureCropControls->isHidden()) {
                PictureCropControls->hide();
            } else {
                PictureCropControls->show();
                PictureCropControls->raise();
            }
            return;
        case EditorKey::ResetBars:
            ResetCropBars();
            UpdateCropBoxes();
            return;
        case EditorKey::BringWindowsForward: {
            Form0& browser = program_.form0();
            browser.show();
            BringForward(browser);
            Form1& panel = program_.form1();
            panel.show();
            BringForward(panel);
            return;
        }
        case EditorKey::Escape:
            if (PictureWhopper->isHidden()) {
                End();
                return;
            }
            HideCropView();
            PictureCropControls->SetLeft(program_.vars.CropControlsHomeLeft);
            PictureCropControls->SetTop(program_.vars.CropControlsHomeTop);
            BringForward(program_.form0());
            BringForward(program_.form1());
            return;
        case EditorKey::Move:
            PullPicture();
            model_.MoveForKey(keyCode, shift);
            PushPicture();
            PushBars();
            UpdateCropBoxes();
            return;
    }
}

void Form99::BringOtherWindowsForward() {
    if (!program_.IsForm0Loaded() || !program_.IsForm1Loaded()) return;
    Form0& browser = program_.form0();
    Form1& panel = program_.form1();
    if (!browser.isVisible() || !panel.isVisible()) return;
    BringForward(browser);
    BringForward(panel);
}

void Form99::Form_Click() {
    BringOtherWindowsForward();
}

void Form99::Form_DblClick() {
    BringOtherWindowsForward();
}

void Form99::Form_MouseDown() {
    BringOtherWindowsForward();
}

void Form99::PictureCropped_MouseDown() {
    if (!PictureWhopper->isHidden()) return;
    if (!program_.IsForm0Loaded() || !program_.form0().isVisible()) return;
    BringForward(program_.form0());
    BringForward(program_.form1());
}

void Form99::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    static const QImage background = EditorBackground(QSize(1280, 960));
    painter.drawImage(0, 0, background);
}
