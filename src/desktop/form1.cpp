#include "desktop/form1.h"

#include <QKeyEvent>
#include <QPainter>

#include "desktop/bring_forward.h"
#include "desktop/capture_command.h"
#include "desktop/crop_command.h"
#include "desktop/end_program.h"
#include "desktop/form0.h"
#include "desktop/help.h"
#include "desktop/jpg_options_panel.h"
#include "desktop/panel_art.h"
#include "desktop/picture_button.h"
#include "desktop/program.h"
#include "desktop/save_as_command.h"
#include "engine/address_text.h"
#include "engine/settings_files.h"
#include "engine/val.h"
#include "engine/windows_keys.h"
#include "files/program_folder.h"

namespace {

const QColor kPanelBackColor(0, 0, 128);

QLineEdit* TextBox(QWidget* parent, const QString& text, Twips l, Twips t, Twips w, Twips h) {
    auto* box = new QLineEdit(text, parent);
    box->setGeometry(TwipsRectToPixels(l, t, w, h));
    box->setFrame(false);
    box->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid #9a9a9a; background: white; }"));
    return box;
}

PictureButton* Button(QWidget* parent, const QString& word, QSize picture, Twips l, Twips t) {
    auto* button = new PictureButton(parent, word, picture);
    button->SetRect(l, t, PixelsToTwips(picture.width()), PixelsToTwips(picture.height()));
    return button;
}

}  // namespace

Form1::Form1(Program& program) : program_(program) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral(" Glimpa"));
    SetRect(0, 0, 7080, 1485);

    // Created bottom-most first: the later ones lie on top, as designed.
    Label1 = new QLabel(QStringLiteral("No. Rows:"), this);
    Label1->setGeometry(TwipsRectToPixels(1920, 840, 1455, 255));
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));

    CommandHelp = Button(this, QStringLiteral("Help"), {73, 33}, 4680, 720);
    TextURL = TextBox(this, QStringLiteral("http://"), 480, 270, 6255, 375);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    courier.setPointSize(12);
    TextURL->setFont(courier);
    // Far beyond the usual limit of a line edit: long addresses must stay whole.
    TextURL->setMaxLength(kLongestAddress);
    CommandCapture = Button(this, QStringLiteral("Capture"), {57, 33}, 2760, 720);
    CommandSaveAs = Button(this, QStringLiteral("SaveAs.."), {57, 33}, 5880, 720);
    CommandGetLocalFile = Button(this, QStringLiteral("Get Webfile from HD"), {113, 33}, 480, 720);
    TextRowsToCapture = TextBox(this, QStringLiteral("1"), 2280, 840, 375, 285);
    TextRowsToCapture->setToolTip(Label1->text());
    CommandCrop = Button(this, QStringLiteral("Crop"), {57, 33}, 3720, 720);
    CommandCrop->setEnabled(false);
    PictureJPGOptions = new JpgOptionsPanel(program_, this);

    setTabOrder(TextURL, CommandCapture);
    setTabOrder(CommandCapture, CommandSaveAs);
    setTabOrder(CommandSaveAs, CommandGetLocalFile);
    setTabOrder(CommandGetLocalFile, TextRowsToCapture);
    setTabOrder(TextRowsToCapture, CommandCrop);
    setTabOrder(CommandCrop, PictureJPGOptions);
    setTabOrder(PictureJPGOptions, CommandHelp);

    connect(TextURL, &QLineEdit::textChanged, this, [this] { TextURL_Change(); });
    connect(TextRowsToCapture, &QLineEdit::textChanged, this,
            [this] { TextRowsToCapture_Change(); });
    connect(CommandGetLocalFile, &QAbstractButton::clicked, this,
            [this] { CommandGetLocalFile_Click(); });
    connect(CommandCapture, &QAbstractButton::clicked, this,
            [this] { CommandCapture_Click(program_); });
    connect(CommandCrop, &QAbstractButton::clicked, this, [this] { CommandCrop_Click(program_); });
    connect(CommandSaveAs, &QAbstractButton::clicked, this,
            [this] { CommandSaveAs_Click(program_); });
    connect(CommandHelp, &QAbstractButton::clicked, this, [this] { ShowHelp(program_); });

    // Key preview: the panel sees every key before the focused control.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void Form1::Form_Load() {
    program_.vars.LoadingUrl = 1;
    const auto remembered = ReadSettingLine(UrlFilePath());
    TextURL->setText(remembered ? *remembered : QStringLiteral("http://"));
    program_.vars.LoadingUrl = 0;
}

void Form1::TextURL_Change() {
    // A pasted address broken over lines: joined again, and this handler runs anew.
    const QString oneLine = WithoutLineBreaks(TextURL->text());
    if (oneLine != TextURL->text()) {
        TextURL->setText(oneLine);
        return;
    }
    if (program_.vars.LoadingUrl == 1) return;
    WriteSettingLine(UrlFilePath(), TextURL->text());
}

void Form1::TextURL_KeyDown(int keyCode, int /*shift*/) {
    if (keyCode != keycode::Enter) return;
    Form0& browser = program_.form0();
    browser.WebBrowser1->Navigate(TextURL->text().trimmed());
    browser.show();
    browser.PictureDummy->hide();
}

void Form1::TextRowsToCapture_Change() {
    ModuleVariables& vars = program_.vars;
    if (vars.StartupDone == 0) return;
    if (vars.RowsBusy == 1) return;
    vars.RowsBusy = 1;
    if (Val(TextRowsToCapture->text()) > 6) TextRowsToCapture->setText(QStringLiteral("6"));
    WriteSettingLine(RowsFilePath(), TextRowsToCapture->text());
    vars.RowsBusy = 0;
}

void Form1::CommandGetLocalFile_Click() {
    CommonDialog& dialog = program_.form0().CommonDialog1;
    dialog.InitDir = dialog.FileName.isEmpty() ? AppPath() : dialog.FileName;
    dialog.CancelError = true;
    dialog.DialogTitle = QStringLiteral("Open Webpage");
    dialog.Filter =
        QStringLiteral("Webpages (*.htm;*.html;*.mht)|*.htm;*.html;*.mht|All files (*.*)|*.*");
    if (!dialog.ShowOpen(this)) return;
    if (dialog.FileName.isEmpty()) return;
    TextURL->setText(QString());
    TextURL->setText(QStringLiteral("file://") + dialog.FileName);
    TextURL_Change();
    TextURL_KeyDown(keycode::Enter, 0);
}

void Form1::Form_KeyDown(int keyCode, int /*shift*/) {
    if (keyCode == keycode::Esc) End();
}

void Form1::Form_MouseDown() {
    Form0& browser = program_.form0();
    if (browser.isVisible()) {
        browser.hide();
        return;
    }
    browser.show();
    BringForward(browser);
    show();
    BringForward(*this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // A label passes presses on to the panel; a press on a control is not one on the
    // panel's background.
    if (watched == Label1 && event->type() == QEvent::MouseButtonPress) return true;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int code = WindowsKeyCode(key->key());
        const int shift = ShiftState(key->modifiers());
        Form_KeyDown(code, shift);
        if (watched == TextURL) TextURL_KeyDown(code, shift);
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mousePressEvent(QMouseEvent* event) {
    Form_MouseDown();
    QWidget::mousePressEvent(event);
}

void Form1::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kPanelBackColor);
    static const QImage background = PanelBackground(QSize(479, 99));
    p.drawImage(0, 0, background);
}
