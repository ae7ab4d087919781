#pragma once
#include <QString>

class CaptureFiles;
class Program;

// How the assembly ended: built (converts to true), or stopped, and then whether a file
// could not be written (rather than a row file missing or no rows at all).
struct CompositeOutcome {
    bool built = false;
    bool notWritten = false;
    QString reason;  // why a file could not be written
    // False once some of the new files replaced the previous capture's.
    bool previousKept = true;
    explicit operator bool() const { return built; }
};

// Joins the row files 1.bmp … (straight from the capture's picture in `files` while they
// are the files cut from it) into the composite in the crop editor, writes it to
// whopper.bmp and cropped.bmp and gives the crop result box the same picture; the row
// files staged in `files` go in place with it. Stops at its first failure (a row file
// missing or unreadable, not one whole row to join, a write failing), leaving the
// previous capture's files and the crop result as they were.
CompositeOutcome BuildComposite(Program& program, CaptureFiles& files);
