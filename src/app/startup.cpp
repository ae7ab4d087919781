#include "app/startup.h"

#include <unistd.h>

#include <QDir>

#include "app/form1.h"
#include "app/place_windows.h"
#include "app/program.h"
#include "app/settings_files.h"
#include "platform/imaging_library.h"
#include "platform/program_folder.h"

void Startup(Program& program) {
    ISInitialize();  // its result is not needed: a JPEG save fails in its own way
    PlaceWindows(program);
    QDir().mkpath(AppFile(QStringLiteral("help")));

    Form1& panel = program.form1();
    // StartupDone is still 0: the rows box takes the line unclamped and unsaved.
    if (const auto rows = ReadSettingLine(RowsFilePath())) panel.TextRowsToCapture->setText(*rows);

    // SHIFT held over a hundred presses of Right from the start of the address: the
    // first hundred characters are selected with the caret after them.
    const int selected = std::min<int>(100, panel.TextURL->text().size());
    panel.TextURL->setSelection(0, selected);

    program.vars.StartupDone = 1;
}

void AllowBrowserAsRoot() {
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}
