// Glimpa: a whole web page, below the bottom of the screen too, in one picture file.
#include <QApplication>
#include <QIcon>

#include "desktop/program.h"
#include "desktop/startup.h"
#include "engine/browser_startup.h"
#include "files/program_folder.h"
#include "files/single_instance.h"
#include "files/warm_memory.h"

int main(int argc, char* argv[]) {
    KeepPictureMemoryWarm();
    if (StartBrowser()) SaySandboxOff();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Glimpa"));
    // Ties the windows to the menu entry and its icon once installed; where no icon
    // theme holds it, the toolkit's own icon stays.
    app.setDesktopFileName(QStringLiteral("glimpa"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("glimpa")));

    // Held until the end of the run; a second Glimpa on the same folder leaves the
    // first one's files alone.
    ProgramFolderLock lock(AppPath());
    if (!ClaimProgramFolder(lock)) return 1;

    // Kept warm between captures, given back once the user leaves the program alone.
    ReleaseMemoryWhenIdle(app, std::chrono::seconds(30));

    Program program;
    Startup(program);
    // Runs until no window is left; the usual ways out end the program at once.
    return app.exec();
}
