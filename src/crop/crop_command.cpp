#include "crop/crop_command.h"

void CommandCrop_Click(Program&) {}
