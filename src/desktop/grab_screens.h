#pragma once
class Program;

// Grabs the next screen of the page: moves the browser control up to the next
// screen-high band, waits for it to show there, copies the browser window's picture to
// the clipboard and the grab buffer, and writes the buffer to that row's file.
// False when the row file could not be written.
bool GrabScreens(Program& program);
