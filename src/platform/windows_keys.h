#pragma once
// Qt key events as the editor's handlers see keys: Windows key codes and the shift
// state bit mask (1 SHIFT, 2 CTRL, 4 ALT).
#include <Qt>

int WindowsKeyCode(int qtKey);
int ShiftState(Qt::KeyboardModifiers modifiers);
