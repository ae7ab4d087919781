#include "app/startup.h"

#include <unistd.h>

#include <QDir>
#include <cstdio>

#include "app/form1.h"
#include "app/place_windows.h"
#include "app/program.h"
#include "app/settings_files.h"
#include "app/single_instance.h"
#include "capture/browser_rendering.h"
#include "platform/imaging_library.h"
#include "platform/message_box.h"
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
    if (geteuid() != 0) return;
    std::fputs(qPrintable(SandboxOffText() + u'\n'), stderr);
    TurnSandboxOffAsRoot();
}

QString SandboxOffText() {
    return QStringLiteral(
        "Glimpa: running as root, so the browser's sandbox is off (the browser will not "
        "start sandboxed as root); run Glimpa as a normal user.");
}

bool ClaimProgramFolder(ProgramFolderLock& lock) {
    if (lock.TryLock()) return true;
    const QString text = AlreadyRunningText(AppPath());
    std::fputs(qPrintable(QStringLiteral("Glimpa: ") + text + u'\n'), stderr);
    MsgBox(text, kMsgBoxExclamation, QStringLiteral("Glimpa"));
    return false;
}
