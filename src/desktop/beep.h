#pragma once
#include <functional>

// One short system sound; returns at once.
void Beep();

// How many beeps sounded in this run: the beep is the program's only sign of many
// finished operations, so tests count it.
int BeepCount();
