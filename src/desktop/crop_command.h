#pragma once
class Program;

// The control panel's Crop button: opens the crop editor on the composite.
void CommandCrop_Click(Program& program);
