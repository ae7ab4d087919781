#include "desktop/common_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "engine/dialog_filter.h"

namespace {

std::optional<QString> AskUser(DialogKind kind, const CommonDialog& dialog, QWidget* parent) {
    QFileDialog box(parent, dialog.DialogTitle);
    box.setNameFilters(QtNameFilters(dialog.Filter));
    box.setAcceptMode(kind == DialogKind::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    box.setFileMode(kind == DialogKind::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!(dialog.Flags & CommonDialog::kOverwritePrompt))
        box.setOption(QFileDialog::DontConfirmOverwrite);
    QString suffix = dialog.DefaultExt;
    if (suffix.startsWith(u'.')) suffix.remove(0, 1);
    box.setDefaultSuffix(suffix);
    // A full file path given as the initial folder opens its folder with the file chosen.
    const QString start = !dialog.FileName.isEmpty() ? dialog.FileName : dialog.InitDir;
    const QFileInfo info(start);
    if (info.isDir()) {
        box.setDirectory(start);
    } else if (!start.isEmpty()) {
        box.setDirectory(info.absolutePath());
        box.selectFile(info.fileName());
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return std::nullopt;
    return box.selectedFiles().first();
}

}  // namespace

bool CommonDialog::ShowOpen(QWidget* parent) {
    return Show(DialogKind::Open, parent);
}
bool CommonDialog::ShowSave(QWidget* parent) {
    return Show(DialogKind::Save, parent);
}

bool CommonDialog::Show(DialogKind kind, QWidget* parent) {
    const std::optional<QString> chosen =
        backend_ ? backend_(kind, *this) : AskUser(kind, *this, parent);
    if (!chosen) return false;
    FileName = QDir::toNativeSeparators(*chosen);
    return true;
}
