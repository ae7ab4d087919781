#include "desktop/startup.h"

#include <QDir>
#include <cstdio>

#include "desktop/form1.h"
#include "desktop/message_box.h"
#include "desktop/place_windows.h"
#include "desktop/program.h"
#include "engine/settings_files.h"
#include "files/program_files.h"
#include "files/program_folder.h"
#include "files/single_instance.h"
#include "formats/jpeg_library.h"

void Startup(Program& program) {
    ISInitialize();  // its result is not needed: a JPEG save fails in its own way
    // The folder is this run's now: what a run cut short left half written goes.
    RemoveStrayTemporaries();
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

void SaySandboxOff() {
    std::fputs(qPrintable(SandboxOffText() + u'\n'), stderr);
}

QString SandboxOffText() {
    return QStringLiteral(
        "Glimpa: running as root, so the browser's sandbox is off (the browser will not "
        "start sandboxed as root): a page that breaks into the browser would act as root. "
        "Run Glimpa as a normal user (in a container, as a user other than root).");
}

bool ClaimProgramFolder(ProgramFolderLock& lock) {
    if (lock.TryLock()) return true;
    const QString text = AlreadyRunningText(AppPath());
    std::fputs(qPrintable(QStringLiteral("Glimpa: ") + text + u'\n'), stderr);
    MsgBox(text, kMsgBoxExclamation, QStringLiteral("Glimpa"));
    return false;
}
