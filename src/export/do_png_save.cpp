#include "crop/form99.h"

void Form99::Do_PNG_Save() {}
