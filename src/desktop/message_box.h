#pragma once
// A modal message with an OK button, an icon and a title. The icon comes from the
// style value: 16 critical, 32 question, 48 exclamation, 64 information.
#include <QString>
#include <functional>

#include "engine/message_style.h"

// Shows the message and returns the button pressed (1: OK).
int MsgBox(const QString& text, int style, const QString& title);

// Tests put their own handler in place of the window; an empty one restores it.
using MsgBoxHandler = std::function<int(const QString& text, int style, const QString& title)>;
void SetMsgBoxHandler(MsgBoxHandler handler);
