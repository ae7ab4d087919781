#include "desktop/picture_button.h"

#include <QPainter>

#include "desktop/panel_art.h"

PictureButton::PictureButton(QWidget* parent, const QString& word, QSize pictureSize)
    : Twipped<QAbstractButton>(parent), face_(ButtonFace(pictureSize, word)) {
    setAccessibleName(word);
    setCursor(PanelCursor());
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, face_);
    if (isDown()) p.fillRect(rect(), QColor(0, 0, 0, 40));
    if (!isEnabled()) p.fillRect(rect(), QColor(255, 255, 255, 140));
}
