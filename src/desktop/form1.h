#pragma once
// The control panel: address box, rows box and the command buttons, directly below
// the browser window and as wide.
#include <QLabel>
#include <QLineEdit>

#include "desktop/twipped.h"

class Program;
class PictureButton;
class JpgOptionsPanel;

class Form1 : public Twipped<QWidget> {
    Q_OBJECT
  public:
    explicit Form1(Program& program);

    void Form_Load();

    // Handlers, callable as the program itself calls them.
    void TextURL_Change();
    void TextURL_KeyDown(int keyCode, int shift);
    void TextRowsToCapture_Change();
    void CommandGetLocalFile_Click();
    void Form_KeyDown(int keyCode, int shift);
    void Form_MouseDown();

    QLineEdit* TextURL;
    QLineEdit* TextRowsToCapture;
    QLabel* Label1;
    PictureButton* CommandCapture;
    PictureButton* CommandCrop;
    PictureButton* CommandSaveAs;
    PictureButton* CommandGetLocalFile;
    PictureButton* CommandHelp;
    JpgOptionsPanel* PictureJPGOptions;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    Program& program_;
};
