#pragma once
// The program's module: the variables shared between the subsystems and the three
// windows, each loaded on its first reference and kept for the whole run.
#include <QString>
#include <memory>

#include "engine/twips.h"

class Form0;
class Form1;
class Form99;

struct ModuleVariables {
    // Screen size in twips, measured on the crop editor by PlaceWindows.
    Twips Form99Width = 0;
    Twips Form99Height = 0;
    // Home of the crop editor's coordinate panel: PlaceWindows and the Crop command.
    Twips CropControlsHomeLeft = 0;
    Twips CropControlsHomeTop = 0;
    // 0 during start-up, then 1: Main.
    int StartupDone = 0;
    // Re-entry guards of the control panel's handlers.
    int LoadingUrl = 0;
    int RowsBusy = 0;
    // The capture: screens to grab, the loop counter, screens handled so far.
    double RowsToCapture = 0;
    double CurrentRow = 0;
    int ScreenCount = 0;
    // The file chosen in the last Save As dialog.
    QString SavePath;
};

class Program {
  public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ModuleVariables vars;

    // A window is loaded (and its load handler run) on its first reference.
    Form0& form0();
    Form1& form1();
    Form99& form99();

    bool IsForm0Loaded() const { return form0_ != nullptr; }
    bool IsForm1Loaded() const { return form1_ != nullptr; }

  private:
    std::unique_ptr<Form0> form0_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form99> form99_;
};
