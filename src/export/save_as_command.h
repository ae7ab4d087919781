#pragma once
class Program;

// The control panel's Save As button.
void CommandSaveAs_Click(Program& program);

// The writers behind it; each reads the program's SavePath.
void SaveAsBmp(Program& program);
void SaveAsGif(Program& program);
void SaveAsPng(Program& program);
