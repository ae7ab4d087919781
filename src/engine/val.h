#pragma once
#include <QStringView>

// The leading number of a text, read the way the rows box and the crop boxes read
// what the user typed: spaces, tabs and line feeds are ignored anywhere; an optional
// sign, digits, one decimal point and an optional exponent (E or D) make a decimal
// number; "&H" and "&O" introduce hexadecimal and octal. 0 when there is no number.
double Val(QStringView text);
