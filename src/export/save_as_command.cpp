#include "export/save_as_command.h"

void CommandSaveAs_Click(Program&) {}
