#include "desktop/jpg_options_panel.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "desktop/beep.h"
#include "desktop/form1.h"
#include "desktop/message_box.h"
#include "desktop/mouse_pointer.h"
#include "desktop/panel_art.h"
#include "desktop/picture_button.h"
#include "desktop/program.h"
#include "engine/crop_image.h"
#include "engine/save_outcome.h"
#include "engine/val.h"
#include "files/program_folder.h"

namespace {

const QColor kPanelColor(11, 180, 255);

template <class W>
W* Place(W* widget, Twips l, Twips t, Twips w, Twips h) {
    widget->setGeometry(TwipsRectToPixels(l, t, w, h));
    return widget;
}

QLabel* WhiteLabel(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    return label;
}

PictureButton* Button(QWidget* parent, const QString& word, Twips l, Twips t) {
    auto* button = new PictureButton(parent, word, QSize(41, 17));
    button->SetRect(l, t, 615, 255);
    return button;
}

// The hidden box's text as a 32-bit whole number, rounded.
int QualityOf(const QString& text) {
    const double v = std::round(Val(text));
    if (v <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    if (v >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

}  // namespace

JpgOptionsPanel::JpgOptionsPanel(Program& program, QWidget* parent)
    : Twipped<QWidget>(parent), program_(program) {
    SetRect(480, 270, 6255, 975);
    // The panel was laid out for a small 8-point face; a larger one would clip its texts.
    QFont small(QStringLiteral("Liberation Sans"));
    small.setStyleHint(QFont::SansSerif);
    small.setPointSize(8);
    setFont(small);

    Label2 = Place(WhiteLabel(this, QStringLiteral("Quality:")), 120, 120, 855, 255);
    labJPGQuality = Place(WhiteLabel(this, QStringLiteral("50")), 240, 480, 180, 195);
    // Wide enough for "100" in the face at hand.
    labJPGQuality->resize(
        std::max(labJPGQuality->width(),
                 labJPGQuality->fontMetrics().horizontalAdvance(QStringLiteral("100")) + 2),
        labJPGQuality->height());
    // The writer reads the quality here; it starts where the slider and label start.
    txtQuality = Place(new QLineEdit(QStringLiteral("50"), this), 120, 240, 435, 285);
    txtQuality->setToolTip(QStringLiteral("The quality should be between 1 and 100."));
    txtQuality->hide();
    sliJPGQuality = Place(new QSlider(Qt::Horizontal, this), 720, 240, 2535, 300);
    sliJPGQuality->setRange(0, 100);
    sliJPGQuality->setValue(50);
    sliJPGQuality->setCursor(PanelCursor());
    chkProgressive =
        Place(new QCheckBox(QStringLiteral("Progressive"), this), 3360, 240, 1185, 195);
    QPalette white = chkProgressive->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    chkProgressive->setPalette(white);
    chkProgressive->setCursor(PanelCursor());
    CommandCancelJPGSave = Button(this, QStringLiteral("Cancel"), 4680, 360);
    CommandSaveJPG = Button(this, QStringLiteral("Save"), 5400, 360);

    setTabOrder(sliJPGQuality, chkProgressive);
    setTabOrder(chkProgressive, CommandCancelJPGSave);
    setTabOrder(CommandCancelJPGSave, CommandSaveJPG);
    setTabOrder(CommandSaveJPG, txtQuality);

    connect(sliJPGQuality, &QSlider::valueChanged, this, [this] { sliJPGQuality_Change(); });
    connect(CommandCancelJPGSave, &QAbstractButton::clicked, this,
            [this] { CommandCancelJPGSave_Click(); });
    connect(CommandSaveJPG, &QAbstractButton::clicked, this, [this] { CommandSaveJPG_Click(); });
    hide();
}

// The buffer of the last save is held until the end of the run.
JpgOptionsPanel::~JpgOptionsPanel() {
    if (jpg_.JpgImage != 0) TheImagingLibrary().GlobalFree(jpg_.JpgImage);
}

void JpgOptionsPanel::ShowJpgOptions() {
    show();
    Beep();
}

void JpgOptionsPanel::sliJPGQuality_Change() {
    const QString value = QString::number(sliJPGQuality->value());
    txtQuality->setText(value);
    labJPGQuality->setText(value);
}

void JpgOptionsPanel::CommandCancelJPGSave_Click() {
    hide();
}

void JpgOptionsPanel::CommandSaveJPG_Click() {
    SaveAsJpg();
}

void JpgOptionsPanel::SaveAsJpg() {
    hide();
    SetScreenMousePointer(kPointerHourglass);
    const JpgSaveResult result =
        WriteJpgFromBitmap(TheImagingLibrary(), jpg_, CroppedFilePath(), program_.vars.SavePath,
                           QualityOf(txtQuality->text()), chkProgressive->isChecked() ? 1 : 0);
    if (result == JpgSaveResult::NoSource) {
        // Nothing was written, and no sound pretends otherwise.
        if (!QFileInfo::exists(CroppedFilePath())) {
            MsgBox(NothingToSaveText(), kMsgBoxInformation, SaveAsTitle());
        } else {
            const QString reason =
                SourceReason(CroppedFilePath(), QStringLiteral("it cannot be opened"));
            MsgBox(NotSavedText(program_.vars.SavePath, reason), kMsgBoxCritical, SaveAsTitle());
        }
        SetScreenMousePointer(kPointerDefault);
        return;
    }
    if (const auto message = MessageFor(result))
        MsgBox(message->text, message->style, message->title);
    SetScreenMousePointer(kPointerDefault);
    Beep();
}

// A press on the panel or its labels is the panel's own: it must not reach the
// control panel below, whose own surface toggles the browser window.
void JpgOptionsPanel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void JpgOptionsPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kPanelColor);
}

void ShowJpgOptions(Program& program) {
    program.form1().PictureJPGOptions->ShowJpgOptions();
}
