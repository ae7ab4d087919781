#pragma once
#include <QImage>

class Program;

// The control panel's Save As button.
void CommandSaveAs_Click(Program& program);

// The writers behind it; each writes `picture`, the content of cropped.bmp, to the
// program's SavePath and tells whether the file was written.
bool SaveAsBmp(Program& program);
bool SaveAsGif(Program& program, const QImage& picture);
bool SaveAsPng(Program& program, const QImage& picture);
