#pragma once
// Dragging the coordinate panel: the first drag-over report of a drag records where
// the pointer started, the drop moves the panel by the pointer's travel. Reports come
// relative to the object under the pointer and are first turned into positions in the
// editor window's client area; all values are twips.
#include "engine/twips.h"

struct TwipPoint {
    Twips X = 0;
    Twips Y = 0;
    bool operator==(const TwipPoint&) const = default;
};

// Where a report can come from, and so how its position reaches window coordinates.
enum class DragPlace {
    Window,      // the editor window itself
    Panel,       // the coordinate panel
    PanelChild,  // a label or box inside the panel
    Picture,     // the composite picture
    Bar,         // a cropping bar inside the picture
};

// The places of the objects a report's position is measured from.
struct DragFrames {
    TwipPoint panel;    // the panel's Left and Top in the window
    TwipPoint picture;  // the picture's Left and Top in the window
    TwipPoint child;    // the label, box or bar's Left and Top in its container
};

TwipPoint WindowPositionOf(DragPlace place, TwipPoint report, const DragFrames& frames);

class PanelDrag {
  public:
    int DragStarted = 0;
    Twips DragStartX = 0, DragStartY = 0;
    Twips DropX = 0, DropY = 0;

    // Only the first report of a drag counts.
    void DragOver(TwipPoint windowPosition);
    // Records the drop and moves the panel (its Left and Top) by the travel.
    void DragDrop(TwipPoint windowPosition, TwipPoint& panel);
    void DropControl(TwipPoint& panel);
    // A drag that ends outside the editor has no drop: forget its start, so the next
    // drag is measured from its own start.
    void DragCancelled() { DragStarted = 0; }
};
