#pragma once
class Program;

// The control panel's Capture button: grabs the page screen by screen and joins the
// screens into the composite.
void CommandCapture_Click(Program& program);
