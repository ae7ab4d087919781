#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <memory>

namespace testsupport {

void UseHeadlessScreen(int width, int height) {
    // A platform chosen from outside (a real X server under xvfb-run) wins.
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!chosen.isEmpty() && chosen != QStringLiteral("offscreen")) return;
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("screens.json"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral(R"({"screens":[{"name":"s0","x":0,"y":0,"width":%1,)"
                                  R"("height":%2,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                       .arg(width)
                       .arg(height)
                       .toUtf8());
    }
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).toLocal8Bit());
}

QString FreshProgramFolder() {
    static std::unique_ptr<QTemporaryDir> dir;
    dir = std::make_unique<QTemporaryDir>();
    return dir->path();
}

}  // namespace testsupport
