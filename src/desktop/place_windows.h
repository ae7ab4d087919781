#pragma once
class Program;

// Puts the three windows in their one arrangement: the crop editor over the whole
// screen behind, the browser window centred on it, the control panel directly below
// the browser window and as wide, the pair centred vertically, the panel in front with
// the focus in the address box.
void PlaceWindows(Program& program);
