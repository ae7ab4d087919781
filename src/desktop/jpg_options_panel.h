#pragma once
// The JPEG options panel on the control panel: quality slider, progressive tick,
// Cancel and Save.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QWidget>

#include "desktop/twipped.h"
#include "engine/jpg_writer.h"

class Program;
class PictureButton;

class JpgOptionsPanel : public Twipped<QWidget> {
    Q_OBJECT
  public:
    JpgOptionsPanel(Program& program, QWidget* parent);
    ~JpgOptionsPanel() override;

    // The Save As command's JPEG branch: show the panel, beep.
    void ShowJpgOptions();

    // Handlers, callable as the program itself calls them.
    void sliJPGQuality_Change();
    void CommandCancelJPGSave_Click();
    void CommandSaveJPG_Click();

    // Writes cropped.bmp as a JPEG to SavePath with the panel's settings.
    void SaveAsJpg();

    QLabel* Label2;
    QLabel* labJPGQuality;
    QLineEdit* txtQuality;
    QSlider* sliJPGQuality;
    QCheckBox* chkProgressive;
    PictureButton* CommandCancelJPGSave;
    PictureButton* CommandSaveJPG;

    const JpgBuffer& Buffer() const { return jpg_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    Program& program_;
    JpgBuffer jpg_;
};

// The Save As command's JPEG branch on the program's control panel.
void ShowJpgOptions(Program& program);
