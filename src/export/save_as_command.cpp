#include "export/save_as_command.h"

#include "app/form0.h"
#include "app/form1.h"
#include "app/program.h"
#include "crop/crop_image.h"
#include "crop/form99.h"
#include "export/file_copy.h"
#include "export/jpg_options_panel.h"
#include "export/save_as_dispatch.h"
#include "platform/beep.h"
#include "platform/common_dialog.h"
#include "platform/gif_control.h"
#include "platform/program_folder.h"

void CommandSaveAs_Click(Program& program) {
    CommonDialog& dialog = program.form0().CommonDialog1;
    dialog.Filter = QString::fromUtf16(kSaveAsFilter);
    dialog.Flags = CommonDialog::kOverwritePrompt;
    dialog.FileName = AppFile(QStringLiteral("newimage"));
    dialog.CancelError = true;
    dialog.DefaultExt = QStringLiteral(".bmp");
    if (!dialog.ShowSave(&program.form1())) return;
    Beep();
    program.vars.SavePath = dialog.FileName;
    switch (WriterForName(program.vars.SavePath)) {
        case SaveWriter::Bmp:
            SaveAsBmp(program);
            break;
        case SaveWriter::Jpg:
            ShowJpgOptions(program);
            break;
        case SaveWriter::Gif:
            SaveAsGif(program);
            break;
        case SaveWriter::Png:
            SaveAsPng(program);
            break;
        case SaveWriter::None:
            break;
    }
}

// Failures stay silent, as for every writer but the JPEG one.
void SaveAsBmp(Program& program) {
    CopyFileAtomically(CroppedFilePath(), program.vars.SavePath);
}

void SaveAsGif(Program& program) {
    WriteGifFromBitmap(CroppedFilePath(), program.vars.SavePath);
}

void SaveAsPng(Program& program) {
    program.form99().Do_PNG_Save();
}
