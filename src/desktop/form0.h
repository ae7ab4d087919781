#pragma once
// The browser window: frameless, the size of its browser control, with the start-up
// picture over it until a page is opened. A key that reaches the window ends the program.
#include <QLabel>

#include "desktop/common_dialog.h"
#include "desktop/picture_box.h"
#include "desktop/twipped.h"
#include "desktop/web_browser.h"

class Program;

class Form0 : public Twipped<QWidget> {
    Q_OBJECT
  public:
    explicit Form0(Program& program);

    void Form_Load();

    WebBrowser* WebBrowser1;
    PictureBox* PictureDummy;
    QLabel* LabelVersion;
    QLabel* LabelHelpURL;
    PictureBox* PictureCapture;
    CommonDialog CommonDialog1;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool PageHasFocus() const;
    Program& program_;
};
