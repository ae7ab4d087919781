#include "desktop/save_as_command.h"

#include <QFileInfo>

#include "desktop/beep.h"
#include "desktop/common_dialog.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/jpg_options_panel.h"
#include "desktop/message_box.h"
#include "desktop/program.h"
#include "engine/crop_image.h"
#include "engine/save_outcome.h"
#include "files/program_folder.h"
#include "formats/bitmap_copy.h"
#include "formats/gif_file.h"
#include "formats/picture_file.h"

// Every ending writes the one picture in cropped.bmp; a save that does not produce
// its file says so, and only a written file (or the JPEG panel opening) beeps.
void CommandSaveAs_Click(Program& program) {
    // Asking for a name makes no sense without a picture.
    if (!QFileInfo::exists(CroppedFilePath())) {
        MsgBox(NothingToSaveText(), kMsgBoxInformation, SaveAsTitle());
        return;
    }
    CommonDialog& dialog = program.form0().CommonDialog1;
    dialog.Filter = QString::fromUtf16(kSaveAsFilter);
    dialog.Flags = CommonDialog::kOverwritePrompt;
    dialog.FileName = AppFile(QStringLiteral("newimage"));
    dialog.CancelError = true;
    dialog.DefaultExt = QStringLiteral(".bmp");
    if (!dialog.ShowSave(&program.form1())) return;
    program.vars.SavePath = dialog.FileName;
    const QString& path = program.vars.SavePath;

    // Save As writes the four formats of its filter; the others are glimpa-shot's.
    std::optional<PictureFormat> format = PictureFormatForPath(path);
    if (format && *format != PictureFormat::Bmp && *format != PictureFormat::Jpeg &&
        *format != PictureFormat::Gif && *format != PictureFormat::Png)
        format.reset();
    if (!format) {
        MsgBox(UnknownEndingText(path), kMsgBoxExclamation, SaveAsTitle());
        return;
    }
    // Read now, after the dialog: the picture is whatever cropped.bmp holds at the save.
    const SaveSource source = ReadSaveSource(CroppedFilePath());
    if (source.state == SaveSource::State::Nothing) {
        MsgBox(NothingToSaveText(), kMsgBoxInformation, SaveAsTitle());
        return;
    }
    if (source.state == SaveSource::State::Unreadable) {
        MsgBox(NotSavedText(path, SourceReason(CroppedFilePath(), source.reason)), kMsgBoxCritical,
               SaveAsTitle());
        return;
    }
    bool written = false;
    switch (*format) {
        case PictureFormat::Jpeg:
            // The panel's Save button writes, and reports, later.
            Beep();
            ShowJpgOptions(program);
            return;
        case PictureFormat::Bmp:
            written = SaveAsBmp(program);
            break;
        case PictureFormat::Gif:
            written = SaveAsGif(program, source.picture);
            break;
        case PictureFormat::Png:
            written = SaveAsPng(program, source.picture);
            break;
        default:
            return;
    }
    if (!written) {
        // The bitmap's size: about the most any of the writers needs.
        const qint64 needed = QFileInfo(CroppedFilePath()).size();
        MsgBox(NotSavedText(path, WriteFailureReason(path, needed)), kMsgBoxCritical,
               SaveAsTitle());
        return;
    }
    Beep();
}

bool SaveAsBmp(Program& program) {
    return CopyBitmapFile(CroppedFilePath(), program.vars.SavePath).ok;
}

bool SaveAsGif(Program& program, const QImage& picture) {
    return WriteGif(picture, program.vars.SavePath).ok;
}

bool SaveAsPng(Program& program, const QImage& picture) {
    return program.form99().Do_PNG_Save(picture);
}
