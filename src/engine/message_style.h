#pragma once
// The style values of a message, which pick its icon, and the OK button's answer: the
// engine chooses the message, the window shows it.
inline constexpr int kMsgBoxCritical = 16;
inline constexpr int kMsgBoxQuestion = 32;
inline constexpr int kMsgBoxExclamation = 48;
inline constexpr int kMsgBoxInformation = 64;
inline constexpr int kMsgBoxResultOk = 1;
