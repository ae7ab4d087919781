#pragma once
// A button that shows a picture of its own size in place of a caption.
#include <QAbstractButton>

#include "desktop/twipped.h"

class PictureButton : public Twipped<QAbstractButton> {
    Q_OBJECT
  public:
    PictureButton(QWidget* parent, const QString& word, QSize pictureSize);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage face_;
};
