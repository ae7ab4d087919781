// The crop editor's input: key preview over every child, mouse presses that pick the
// object the arrow keys move, the wheel, and the dragging of the coordinate panel.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

#include "desktop/form99.h"
#include "engine/windows_keys.h"

bool Form99::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            return PreviewKey(watched, static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease:
            // Any key released in one of the four editable boxes applies all four.
            if (!forwardingKey_ && PictureCropControls->IsEditableBox(watched)) ApplyCropBoxes();
            return false;
        case QEvent::MouseButtonPress:
            if (watched == this) return false;
            if (watched == PictureCropControls) {
                StartPanelDrag(
                    mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition()).toPoint());
                return true;
            }
            return RouteMousePress(watched);
        case QEvent::MouseMove:
            if (!dragging_) return false;
            MovePanelDrag(
                mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition()).toPoint());
            return true;
        case QEvent::MouseButtonRelease:
            if (!dragging_) return false;
            EndPanelDrag(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return true;
        case QEvent::Wheel:
            // Taken wherever the pointer is, the picture, a bar, the panel or the
            // background alike, so that nothing underneath scrolls as well.
            Wheel(static_cast<QWheelEvent*>(event));
            return true;
        case QEvent::MouseButtonDblClick:
            if (watched == this) return false;
            if (watched == PictureWhopper) PictureWhopper_DblClick();
            // A box selects the word; double-clicks elsewhere (a bar, the panel, the
            // result) do nothing and must not reach the picture or the window underneath.
            if (const auto* box = qobject_cast<QLineEdit*>(watched); box && box->isEnabled())
                return false;
            return true;
        default:
            return false;
    }
}

// The window's handler runs first, whichever control has the focus; the key then goes
// on to that control untouched. The copy sent on is marked so that the filter, which
// also watches the control's containers, does not handle it a second time while it
// travels up to them.
bool Form99::PreviewKey(QObject* watched, QKeyEvent* key) {
    if (forwardingKey_) return false;
    Form_KeyDown(WindowsKeyCode(key->key()), ShiftState(key->modifiers()));
    if (watched == this) return false;
    std::unique_ptr<QEvent> copy(key->clone());
    forwardingKey_ = true;
    QApplication::sendEvent(watched, copy.get());
    forwardingKey_ = false;
    key->accept();
    return true;
}

bool Form99::RouteMousePress(QObject* watched) {
    if (watched == PictureWhopper)
        model_.SelectedObject = selected::Picture;
    else if (watched == PictureHorizBar1)
        model_.SelectedObject = selected::HorizBar1;
    else if (watched == PictureHorizBar2)
        model_.SelectedObject = selected::HorizBar2;
    else if (watched == PictureVerticalBar1)
        model_.SelectedObject = selected::VerticalBar1;
    else if (watched == PictureVerticalBar2)
        model_.SelectedObject = selected::VerticalBar2;
    else if (watched == PictureCropped)
        PictureCropped_MouseDown();
    else if (const auto* box = qobject_cast<QLineEdit*>(watched); box && box->isEnabled())
        return false;  // the box takes its caret
    // Handled here: the press must not fall through to a container (a bar's to the
    // picture, anything's to the window background, a label's to the panel's drag).
    return true;
}

void Form99::mousePressEvent(QMouseEvent* event) {
    pressedOnBackground_ = true;
    Form_MouseDown();
    event->accept();
}

void Form99::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressedOnBackground_ && rect().contains(event->position().toPoint());
    pressedOnBackground_ = false;
    if (click) Form_Click();
    event->accept();
}

void Form99::mouseDoubleClickEvent(QMouseEvent* event) {
    pressedOnBackground_ = true;
    Form_DblClick();
    event->accept();
}

void Form99::Wheel(QWheelEvent* event) {
    PullPicture();
    model_.ScrollByWheel(event->angleDelta(), event->pixelDelta(), ShiftState(event->modifiers()));
    PushPicture();
    event->accept();
}

bool Form99::PlaceAt(QPoint windowPixel, DragPlace& place, DragFrames& frames) const {
    frames.panel = {PictureCropControls->Left(), PictureCropControls->Top()};
    frames.picture = {PictureWhopper->Left(), PictureWhopper->Top()};
    QWidget* under = childAt(windowPixel);
    // Walk up from the innermost widget to the first object that takes drops.
    for (QWidget* w = under; w; w = w->parentWidget()) {
        if (w == this) break;
        if (w == PictureCropControls) {
            place = DragPlace::Panel;
            return true;
        }
        if (w->parentWidget() == PictureCropControls) {
            place = DragPlace::PanelChild;
            frames.child = {PixelsToTwips(w->x()), PixelsToTwips(w->y())};
            return true;
        }
        if (w == PictureWhopper) {
            place = DragPlace::Picture;
            return true;
        }
        if (w->parentWidget() == PictureWhopper) {
            const auto* bar = static_cast<const PictureBox*>(w);
            place = DragPlace::Bar;
            frames.child = {bar->Left(), bar->Top()};
            return true;
        }
        // The cropped result and the scratch box take no drops.
        if (w->parentWidget() == this) return false;
    }
    place = DragPlace::Window;
    return true;
}

// The position the window system would report to the place: the pointer's, measured
// from the place's own corner in twips.
TwipPoint Form99::Report(DragPlace place, const DragFrames& frames, QPoint windowPixel) const {
    const TwipPoint corner = WindowPositionOf(place, {0, 0}, frames);
    return {PixelsToTwips(windowPixel.x()) - corner.X, PixelsToTwips(windowPixel.y()) - corner.Y};
}

void Form99::StartPanelDrag(QPoint windowPixel) {
    dragging_ = true;
    dragGrabOffset_ = windowPixel - PictureCropControls->pos();
    DragFrames frames;
    frames.panel = {PictureCropControls->Left(), PictureCropControls->Top()};
    const TwipPoint report = Report(DragPlace::Panel, frames, windowPixel);
    drag_.DragOver(WindowPositionOf(DragPlace::Panel, report, frames));
    dragOutline_->setGeometry(PictureCropControls->geometry());
    dragOutline_->show();
    dragOutline_->raise();
}

void Form99::MovePanelDrag(QPoint windowPixel) {
    dragOutline_->move(windowPixel - dragGrabOffset_);
    DragPlace place;
    DragFrames frames;
    if (PlaceAt(windowPixel, place, frames))
        drag_.DragOver(WindowPositionOf(place, Report(place, frames, windowPixel), frames));
}

void Form99::EndPanelDrag(QPoint globalPixel) {
    dragging_ = false;
    dragOutline_->hide();
    const QPoint windowPixel = mapFromGlobal(globalPixel);
    // Released over another window, or outside the editor, or over a box that takes
    // no drops: no drop. The start is forgotten so the next drag starts afresh.
    const QWidget* top = QApplication::widgetAt(globalPixel);
    DragPlace place;
    DragFrames frames;
    if (!rect().contains(windowPixel) || (top && top->window() != this) ||
        !PlaceAt(windowPixel, place, frames)) {
        drag_.DragCancelled();
        return;
    }
    TwipPoint panel = frames.panel;
    drag_.DragDrop(WindowPositionOf(place, Report(place, frames, windowPixel), frames), panel);
    if (panel.X != PictureCropControls->Left()) PictureCropControls->SetLeft(panel.X);
    if (panel.Y != PictureCropControls->Top()) PictureCropControls->SetTop(panel.Y);
}
