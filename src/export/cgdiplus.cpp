#include "export/cgdiplus.h"

cGdiPlus::cGdiPlus() = default;
cGdiPlus::~cGdiPlus() = default;
