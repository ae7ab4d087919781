#include "capture/capture_command.h"

void CommandCapture_Click(Program&) {}
