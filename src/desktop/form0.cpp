#include "desktop/form0.h"

#include <QApplication>
#include <QKeyEvent>

#include "desktop/end_program.h"
#include "desktop/panel_art.h"
#include "desktop/program.h"

Form0::Form0(Program& program) : program_(program) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral(" Glimpa"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFocusPolicy(Qt::StrongFocus);

    // Bottom-most first, so the later controls lie above the earlier ones.
    WebBrowser1 = new WebBrowser(this);
    WebBrowser1->SetRect(0, 0, 7200, 5200);

    PictureCapture = new PictureBox(this);
    PictureCapture->SetRect(600, 720, 3015, 1815);
    PictureCapture->hide();

    PictureDummy = new PictureBox(this);
    PictureDummy->SetRect(0, 0, 6495, 5055);
    PictureDummy->SetPicture(TitleCard(QSize(480, 347)));
    PictureDummy->setToolTip(QStringLiteral(" Type ESC to exit program "));
    PictureDummy->setFocusPolicy(Qt::ClickFocus);
    PictureDummy->hide();

    LabelHelpURL = new QLabel(QStringLiteral("https://glimpa.example.org/"), PictureDummy);
    LabelHelpURL->hide();
    LabelVersion = new QLabel(QStringLiteral("#0.33"), PictureDummy);
    LabelVersion->setAlignment(Qt::AlignCenter);
    LabelVersion->setAttribute(Qt::WA_TranslucentBackground);
    LabelVersion->setGeometry(TwipsRectToPixels(3150, 4200, 855, 255));

    // Key preview: the window sees keys before its start-up picture does.
    PictureDummy->installEventFilter(this);
}

void Form0::Form_Load() {
    WebBrowser1->Navigate(QStringLiteral("about:blank"));
}

bool Form0::PageHasFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return !PictureDummy->isVisible() && focus &&
           (focus == WebBrowser1 || WebBrowser1->isAncestorOf(focus) ||
            focus == WebBrowser1->focusProxy());
}

void Form0::keyPressEvent(QKeyEvent* event) {
    // Keys typed into a page that has the focus belong to the page (a form can be
    // filled in before the capture); any other key on this window ends the program.
    if (PageHasFocus()) {
        event->ignore();
        return;
    }
    End();
}

bool Form0::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PictureDummy && event->type() == QEvent::KeyPress) {
        End();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
