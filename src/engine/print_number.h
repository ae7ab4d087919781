#pragma once
#include <QString>

// A single-precision number as the print statement writes it: a space for a value of
// zero or more ("-" otherwise), the shortest decimal form of at most seven significant
// digits (no leading zero before the point, no trailing zeros, no point for whole
// numbers), then one space. 1500 gives " 1500 ", -0.5 gives "-.5 ".
QString PrintNumber(float value);
