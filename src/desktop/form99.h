#pragma once
// The crop editor: frameless over the whole screen, behind the other two windows.
// Shows the composite with its four red cropping bars and the coordinate panel; the
// geometry lives in CropEditorModel and the panel drag in PanelDrag, the window only
// shows them and routes input to them.
#include <array>
#include <memory>

#include "desktop/crop_controls_panel.h"
#include "desktop/picture_box.h"
#include "desktop/twipped.h"
#include "engine/crop_editor_model.h"
#include "engine/panel_drag.h"

class Program;
class cGdiPlus;
class QRubberBand;
class QWheelEvent;

class Form99 : public Twipped<QWidget> {
    Q_OBJECT
  public:
    explicit Form99(Program& program);
    ~Form99() override;

    void Form_Load();
    void Form_Unload();

    // Writes the result box's picture to SavePath as PNG.
    void Do_PNG_Save();
    // Writes `picture` to SavePath as PNG (the Save As command's PNG branch); false
    // when the writer is gone or the file was not written.
    bool Do_PNG_Save(const QImage& picture);

    // The editor's procedures, each keeping the widgets in step with the model.
    void ResetCropBars();
    void UpdateCropBoxes();
    void ApplyCropBoxes();
    void ApplyBarPositions(const BarPositions& places);
    void ShowCropView();
    void HideCropView();

    // Handlers, callable as the window system calls them.
    void Form_KeyDown(int keyCode, int shift);
    void Form_Click();
    void Form_DblClick();
    void Form_MouseDown();
    void PictureCropped_MouseDown();
    void PictureWhopper_DblClick();
    // False when the crop was refused (no pixel of the composite inside the bars) or
    // cropped.bmp could not be written (said in a message).
    bool CropPicture();

    const CropEditorModel& Model() const { return model_; }
    const PanelDrag& Drag() const { return drag_; }
    int SelectedObject() const { return model_.SelectedObject; }

    CropControlsPanel* PictureCropControls;
    PictureBox* PictureCropped;
    PictureBox* PictureBuffer;
    PictureBox* PictureWhopper;
    PictureBox* PictureVerticalBar2;
    PictureBox* PictureVerticalBar1;
    PictureBox* PictureHorizBar2;
    PictureBox* PictureHorizBar1;

    std::unique_ptr<cGdiPlus> PngWriter;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    // The picture and its bars, in the order they are shown and hidden.
    std::array<QWidget*, 5> CropView() const;
    // Model <-> widgets.
    void PullPicture();
    void PushPicture();
    void PushBars();
    void PushBoxes();
    void PullBoxes();

    void BringOtherWindowsForward();
    bool PreviewKey(QObject* watched, QKeyEvent* key);
    bool RouteMousePress(QObject* watched);
    void Wheel(QWheelEvent* event);

    // The panel drag, fed with pointer positions in the window's pixels.
    void StartPanelDrag(QPoint windowPixel);
    void MovePanelDrag(QPoint windowPixel);
    void EndPanelDrag(QPoint globalPixel);
    bool PlaceAt(QPoint windowPixel, DragPlace& place, DragFrames& frames) const;
    TwipPoint Report(DragPlace place, const DragFrames& frames, QPoint windowPixel) const;

    Program& program_;
    CropEditorModel model_;
    PanelDrag drag_;
    bool dragging_ = false;
    QPoint dragGrabOffset_;
    QRubberBand* dragOutline_ = nullptr;
    bool forwardingKey_ = false;
    bool pressedOnBackground_ = false;
};
