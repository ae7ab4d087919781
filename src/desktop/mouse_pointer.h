#pragma once

// The screen-wide mouse pointer over all the program's windows.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

void SetScreenMousePointer(int pointer);
int ScreenMousePointer();
