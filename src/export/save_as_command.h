#pragma once
class Program;

// The control panel's Save As button.
void CommandSaveAs_Click(Program& program);
