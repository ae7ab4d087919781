#include "engine/crop_editor_model.h"

#include <algorithm>

#include "engine/val.h"

EditorKey ClassifyEditorKey(int keyCode) {
    switch (keyCode) {
        case keycode::F4:
            return EditorKey::TogglePanel;
        case keycode::F3:
            return EditorKey::ResetBars;
        case keycode::F2:
            return EditorKey::BringWindowsForward;
        case keycode::Esc:
            return EditorKey::Escape;
        default:
            return EditorKey::Move;
    }
}

CropEditorModel::CropEditorModel() {
    Boxes.fill(QStringLiteral("0"));
    // The bars' design places, until the first ResetCropBars.
    VerticalBar2 = {480, 600, kBarThickness, 2175};
    VerticalBar1 = {240, 600, kBarThickness, 2175};
    HorizBar2 = {720, 1680, 3015, kBarThickness};
    HorizBar1 = {720, 840, 3015, kBarThickness};
    Picture = {0, 0, 3855, 3615};
}

void CropEditorModel::ResetCropBars() {
    HorizBar1.Width = 2 * Form99Width;
    HorizBar2.Width = 2 * Form99Width;
    VerticalBar1.Height = Picture.Height;
    VerticalBar2.Height = Picture.Height;
    HorizBar1.Left = 0, HorizBar1.Top = 0;
    HorizBar2.Left = 0, HorizBar2.Top = 500;
    VerticalBar1.Left = 0, VerticalBar1.Top = 0;
    VerticalBar2.Left = 500, VerticalBar2.Top = 0;
}

CropEdges CropEditorModel::Edges() const {
    CropEdges e;
    // On a tie bar 1 of each pair is the left (top) bar.
    const bool vertInOrder = VerticalBar1.Left <= VerticalBar2.Left;
    const TwipRect& leftBar = vertInOrder ? VerticalBar1 : VerticalBar2;
    const TwipRect& rightBar = vertInOrder ? VerticalBar2 : VerticalBar1;
    e.x1 = leftBar.Left + leftBar.Width;
    e.x2 = rightBar.Left;
    const bool horizInOrder = HorizBar1.Top <= HorizBar2.Top;
    const TwipRect& topBar = horizInOrder ? HorizBar1 : HorizBar2;
    const TwipRect& bottomBar = horizInOrder ? HorizBar2 : HorizBar1;
    e.y1 = topBar.Top + topBar.Height;
    e.y2 = bottomBar.Top;
    return e;
}

QRect CropEditorModel::CropPixels() const {
    const CropEdges e = Edges();
    const int left = PixelOf(e.x1), right = PixelOf(e.x2);
    const int top = PixelOf(e.y1), bottom = PixelOf(e.y2);
    return QRect(left, top, right - left, bottom - top);
}

void CropEditorModel::UpdateCropBoxes() {
    const QRect r = CropPixels();
    Boxes[TextLeft] = QString::number(r.left());
    Boxes[TextRight] = QString::number(r.left() + r.width());
    Boxes[TextTop] = QString::number(r.top());
    Boxes[TextBottom] = QString::number(r.top() + r.height());
    Boxes[TextWidthW] = QString::number(r.width());
    Boxes[TextHeightH] = QString::number(r.height());
}

namespace {

// The bar of a pair that opens the rectangle (the first on a tie) goes to `open`, the
// other to `close`: typed values never swap the bars' roles.
void PlacePair(Twips& bar1, Twips& bar2, Twips open, Twips close) {
    if (bar1 <= bar2) {
        bar1 = open;
        bar2 = close;
    } else {
        bar2 = open;
        bar1 = close;
    }
}

}  // namespace

void CropEditorModel::ApplyCropBoxes() {
    // A box value names the first pixel inside the bars, so the bar that opens the
    // rectangle goes one bar thickness before it; the bars keep their roles.
    const double l = Val(Boxes[TextLeft]);
    const auto newLeft = static_cast<Twips>((l - PixelOf(VerticalBar1.Width)) * 15);
    const auto newRight = static_cast<Twips>(Val(Boxes[TextRight]) * 15);
    PlacePair(VerticalBar1.Left, VerticalBar2.Left, newLeft, newRight);
    const double t = Val(Boxes[TextTop]);
    const auto newTop = static_cast<Twips>((t - PixelOf(HorizBar1.Height)) * 15);
    const auto newBottom = static_cast<Twips>(Val(Boxes[TextBottom]) * 15);
    PlacePair(HorizBar1.Top, HorizBar2.Top, newTop, newBottom);
    UpdateCropBoxes();
}

void CropEditorModel::ApplyBarPositions(const BarPositions& places) {
    if (places[0]) VerticalBar1.Left = *places[0];
    if (places[1]) VerticalBar2.Left = *places[1];
    if (places[2]) HorizBar1.Top = *places[2];
    if (places[3]) HorizBar2.Top = *places[3];
}

std::array<float, 4> CropEditorModel::BarPositionsToSave() const {
    return {VerticalBar1.Left, VerticalBar2.Left, HorizBar1.Top, HorizBar2.Top};
}

void CropEditorModel::MoveSelected(int keyCode, int shift) {
    Twips step = 0;
    if (shift == 0)
        step = 15;
    else if (shift == keycode::ShiftMask)
        step = 120;
    else
        return;

    Twips dx = 0, dy = 0;
    switch (keyCode) {
        case keycode::Left:
            dx = -step;
            break;
        case keycode::Right:
            dx = step;
            break;
        case keycode::Up:
            dy = -step;
            break;
        case keycode::Down:
            dy = step;
            break;
        default:
            return;
    }
    switch (SelectedObject) {
        case selected::HorizBar1:
            HorizBar1.Top += dy;
            break;
        case selected::HorizBar2:
            HorizBar2.Top += dy;
            break;
        case selected::VerticalBar1:
            VerticalBar1.Left += dx;
            break;
        case selected::VerticalBar2:
            VerticalBar2.Left += dx;
            break;
        default:
            Picture.Left += dx;
            Picture.Top += dy;
            break;
    }
}

void CropEditorModel::MoveForKey(int keyCode, int shift) {
    switch (keyCode) {
        case keycode::PageUp:
        case keycode::PageDown:
        case keycode::Home:
        case keycode::End:
            break;
        default:
            MoveSelected(keyCode, shift);
            return;
    }
    // The same modifiers as the arrow keys: CTRL or ALT held moves nothing.
    if (shift != 0 && shift != keycode::ShiftMask) return;
    // At least a pixel, should a screen ever be shorter than the overlap.
    const Twips page = std::max(Form99Height - kPageOverlap, Twips(15));
    switch (keyCode) {
        case keycode::PageUp:
            ScrollPicture(0, page);
            break;
        case keycode::PageDown:
            ScrollPicture(0, -page);
            break;
        case keycode::Home:
            Picture.Top = 0;
            break;
        default:
            Picture.Top = Form99Height - Picture.Height;
            break;
    }
}

namespace {

// Whole pixels in `units` angle units plus what was left over, at five units a pixel
// (120 units make 24 pixels); the rest stays in `rest`. A turn of the wheel drops a
// rest of the other direction, so turning back answers at once.
int WheelPixels(int units, int& rest) {
    constexpr int kUnitsPerPixel =
        CropEditorModel::kAngleUnitsPerNotch * 15 / static_cast<int>(CropEditorModel::kWheelNotch);
    if ((units < 0 && rest > 0) || (units > 0 && rest < 0)) rest = 0;
    const int total = rest + units;
    const int pixels = total / kUnitsPerPixel;  // toward zero
    rest = total - pixels * kUnitsPerPixel;
    return pixels;
}

Twips ClampedMove(Twips place, Twips delta, Twips low, Twips high) {
    if (delta > 0) return std::max(place, std::min(place + delta, high));
    if (delta < 0) return std::min(place, std::max(place + delta, low));
    return place;
}

}  // namespace

void CropEditorModel::ScrollByWheel(QPoint angleDelta, QPoint pixelDelta, int shift) {
    if (shift != 0 && shift != keycode::ShiftMask) return;
    QPoint pixels;
    if (!pixelDelta.isNull()) {
        pixels = pixelDelta;
    } else {
        int restX = wheelRest_.x(), restY = wheelRest_.y();
        pixels = {WheelPixels(angleDelta.x(), restX), WheelPixels(angleDelta.y(), restY)};
        wheelRest_ = {restX, restY};
    }
    if (shift == keycode::ShiftMask) {
        // A plain wheel turned sideways; where the platform has already turned it, the
        // delta arrives on the horizontal axis.
        pixels = {pixels.y() != 0 ? pixels.y() : pixels.x(), 0};
    }
    // Rolling the wheel towards the user gives negative deltas and shows what lies
    // below: the picture goes up.
    ScrollPicture(PixelsToTwips(pixels.x()), PixelsToTwips(pixels.y()));
}

void CropEditorModel::ScrollPicture(Twips dx, Twips dy) {
    Picture.Left = ClampedMove(Picture.Left, dx, -Picture.Width, Form99Width);
    Picture.Top = ClampedMove(Picture.Top, dy, -Picture.Height, Form99Height);
}
