#include "export/jpg_options_panel.h"

JpgOptionsPanel::JpgOptionsPanel(Program& program, QWidget* parent)
    : Twipped<QWidget>(parent), program_(program) {
    SetRect(480, 270, 6255, 975);
    hide();
}
