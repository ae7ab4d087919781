#pragma once
class Program;

// Joins the row files 1.bmp … into the composite in the crop editor, writes it to
// whopper.bmp and gives the crop result box a copy. Stops at its first failure (a row
// file missing or unreadable, not one whole row to join, the write failing), leaving
// whopper.bmp and the crop result as they were; true when it got to the end.
bool BuildComposite(Program& program);
