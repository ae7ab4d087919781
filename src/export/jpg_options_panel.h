#pragma once
// The JPEG options panel on the control panel: quality slider, progressive tick,
// Cancel and Save.
#include <QWidget>

#include "platform/twipped.h"

class Program;

class JpgOptionsPanel : public Twipped<QWidget> {
    Q_OBJECT
  public:
    JpgOptionsPanel(Program& program, QWidget* parent);

  private:
    Program& program_;
};
