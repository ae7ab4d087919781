#pragma once
// Qt key events as the editor's handlers see keys: Windows key codes and the shift
// state bit mask (1 SHIFT, 2 CTRL, 4 ALT).
#include <Qt>

// The codes the handlers compare.
namespace keycode {
inline constexpr int Enter = 13;
inline constexpr int Esc = 27;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int F2 = 113;
inline constexpr int F3 = 114;
inline constexpr int F4 = 115;
inline constexpr int ShiftMask = 1;
inline constexpr int CtrlMask = 2;
inline constexpr int AltMask = 4;
}  // namespace keycode

int WindowsKeyCode(int qtKey);
int ShiftState(Qt::KeyboardModifiers modifiers);
