// Glimpa: a whole web page, below the bottom of the screen too, in one picture file.
#include <QApplication>
#include <QIcon>

#include "app/program.h"
#include "app/startup.h"
#include "capture/browser_rendering.h"

int main(int argc, char* argv[]) {
    AllowBrowserAsRoot();
    DrawBrowserInMemory();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Glimpa"));
    // Ties the windows to the menu entry and its icon once installed; where no icon
    // theme holds it, the toolkit's own icon stays.
    app.setDesktopFileName(QStringLiteral("glimpa"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("glimpa")));

    Program program;
    Startup(program);
    // Runs until no window is left; the usual ways out end the program at once.
    return app.exec();
}
