#include "engine/panel_drag.h"

TwipPoint WindowPositionOf(DragPlace place, TwipPoint report, const DragFrames& f) {
    switch (place) {
        case DragPlace::Window:
            return report;
        case DragPlace::Panel:
            return {f.panel.X + report.X, f.panel.Y + report.Y};
        case DragPlace::PanelChild:
            return {f.panel.X + f.child.X + report.X, f.panel.Y + f.child.Y + report.Y};
        case DragPlace::Picture:
            return {f.picture.X + report.X, f.picture.Y + report.Y};
        case DragPlace::Bar:
            return {f.picture.X + f.child.X + report.X, f.picture.Y + f.child.Y + report.Y};
    }
    return report;
}

void PanelDrag::DragOver(TwipPoint windowPosition) {
    if (DragStarted == 1) return;
    DragStartX = windowPosition.X;
    DragStartY = windowPosition.Y;
    DragStarted = 1;
}

void PanelDrag::DragDrop(TwipPoint windowPosition, TwipPoint& panel) {
    DropX = windowPosition.X;
    DropY = windowPosition.Y;
    DropControl(panel);
}

void PanelDrag::DropControl(TwipPoint& panel) {
    if (DropX != DragStartX) panel.X = panel.X + (DropX - DragStartX);
    if (DropY != DragStartY) panel.Y = panel.Y + (DropY - DragStartY);
    DragStarted = 0;
}
