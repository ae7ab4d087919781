#include "desktop/help.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "desktop/form0.h"
#include "desktop/program.h"
#include "files/program_folder.h"

namespace {

constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;

std::function<bool(const QString&, int)>& Opener() {
    static std::function<bool(const QString&, int)> opener;
    return opener;
}

}  // namespace

QString HelpFilePath() {
    return HelpFolder() + QDir::separator() + QStringLiteral("glimpa_help.html");
}

bool OpenDocument(const QString& pathOrAddress, int showCommand) {
    if (Opener()) return Opener()(pathOrAddress, showCommand);
    const QUrl url = QFileInfo::exists(pathOrAddress) ? QUrl::fromLocalFile(pathOrAddress)
                                                      : QUrl::fromUserInput(pathOrAddress);
    return QDesktopServices::openUrl(url);
}

void SetDocumentOpener(std::function<bool(const QString&, int)> opener) {
    Opener() = std::move(opener);
}

void ShowHelp(Program& program) {
    // A help document that exists but cannot be read counts as missing.
    QFile help(HelpFilePath());
    if (help.open(QIODevice::ReadOnly)) {
        help.close();
        OpenDocument(HelpFilePath(), kShowNormal);
        return;
    }
    OpenDocument(program.form0().LabelHelpURL->text(), kShowMaximized);
}
