#pragma once
// The one file dialog object shared by the open and save dialogs: what one leaves in
// its properties stays in effect for the other.
#include <QString>
#include <functional>
#include <optional>

class QWidget;

enum class DialogKind { Open, Save };

class CommonDialog {
  public:
    static constexpr int kOverwritePrompt = 2;

    QString FileName;
    QString InitDir;
    // Description and pattern pairs separated by "|".
    QString Filter;
    int Flags = 0;
    QString DefaultExt;
    bool CancelError = false;
    QString DialogTitle;

    // Shows the dialog; false when the user cancelled or the dialog failed. On
    // success FileName holds the full path of the chosen file.
    bool ShowOpen(QWidget* parent);
    bool ShowSave(QWidget* parent);

    // What actually asks the user: a path, or nothing on cancel. Tests put their own.
    using Backend = std::function<std::optional<QString>(DialogKind, const CommonDialog&)>;
    void SetBackend(Backend backend) { backend_ = std::move(backend); }

  private:
    bool Show(DialogKind kind, QWidget* parent);
    Backend backend_;
};
