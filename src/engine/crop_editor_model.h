#pragma once
// The crop editor without its window: the composite's place, the four cropping bars,
// the object the arrow keys move and the six coordinate box texts. The window only
// shows this state and routes input to it.
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>

#include "engine/crop_geometry.h"
#include "engine/settings_files.h"
#include "engine/windows_keys.h"

// What a key press in the editor window asks for, in the order the window tests them.
enum class EditorKey { TogglePanel, ResetBars, BringWindowsForward, Escape, Move };
EditorKey ClassifyEditorKey(int keyCode);

// SelectedObject values.
namespace selected {
inline constexpr int Picture = 0;
inline constexpr int HorizBar1 = 1;
inline constexpr int HorizBar2 = 2;
inline constexpr int VerticalBar1 = 3;
inline constexpr int VerticalBar2 = 4;
}  // namespace selected

// The crop rectangle inside the bars, in twips of picture coordinates.
struct CropEdges {
    Twips x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

class CropEditorModel {
  public:
    enum Box { TextLeft, TextRight, TextTop, TextBottom, TextWidthW, TextHeightH, BoxCount };
    inline static constexpr Twips kBarThickness = 60;

    CropEditorModel();

    // PictureWhopper; its width and height come from the composite.
    TwipRect Picture;
    TwipRect HorizBar1, HorizBar2, VerticalBar1, VerticalBar2;
    // The screen size the editor covers: the horizontal bars' length comes from the
    // width; the page keys' step and the limits of scrolling from both.
    Twips Form99Width = 0;
    Twips Form99Height = 0;
    int SelectedObject = selected::Picture;
    std::array<QString, BoxCount> Boxes;

    void ResetCropBars();
    void UpdateCropBoxes();
    // Reads the four editable box texts and moves the bars to match.
    void ApplyCropBoxes();
    // The saved places of a previous crop, each one applied only when it was readable.
    void ApplyBarPositions(const BarPositions& places);
    std::array<float, 4> BarPositionsToSave() const;

    // A key that reaches the movement row of the key table: moves the selected object
    // by 15 twips, or 120 with SHIFT alone; nothing with CTRL or ALT held.
    void MoveSelected(int keyCode, int shift);

    // The movement row of the key table: Page Up, Page Down, Home and End move the
    // picture whatever is selected; any other key goes to MoveSelected.
    void MoveForKey(int keyCode, int shift);

    // One wheel event anywhere over the editor moves the picture (the bars ride on it)
    // and leaves the selection alone. A notch (120 angle units) is 24 pixels; a
    // touchpad's pixel delta, when there is one, is taken as it is. SHIFT turns the
    // movement sideways; with CTRL or ALT held nothing moves. Angle units short of a
    // whole pixel are kept for the next event in the same direction.
    void ScrollByWheel(QPoint angleDelta, QPoint pixelDelta, int shift);

    CropEdges Edges() const;
    // Left, Top, Right - Left, Bottom - Top exactly as the boxes show them; the crop
    // copies these pixel columns and rows of the composite.
    QRect CropPixels() const;

    inline static constexpr int kAngleUnitsPerNotch = 120;
    inline static constexpr Twips kWheelNotch = 3 * 120;  // three SHIFT steps
    // What a page key leaves of the previous view.
    inline static constexpr Twips kPageOverlap = 48 * 15;

  private:
    // Moves the picture by (dx, dy) but never past the point where it would leave the
    // window: its far edge at the window's near edge. A picture already outside (the
    // arrow keys do not stop there) is not pushed further out.
    void ScrollPicture(Twips dx, Twips dy);

    QPoint wheelRest_;  // angle units not yet moved, per axis
};
