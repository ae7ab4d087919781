#pragma once
#include "files/outcome.h"

class CaptureFiles;
class Program;

// Grabs the next screen of the page: moves the browser control up to the next
// screen-high band, takes that band of the capture's picture (or, where it holds none,
// the browser window's own picture) to the clipboard and the grab buffer, and writes the
// buffer to that row's file, staged until the capture is complete. Not done, and why,
// when the row file could not be written.
Outcome GrabScreens(Program& program, CaptureFiles& files);
