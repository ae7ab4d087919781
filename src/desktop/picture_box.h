#pragma once
// A picture box with persistent drawing: what is painted into it stays in its Image,
// which always has the box's pixel size; the background colour fills what was never
// painted. Its geometry is in twips.
#include <QColor>
#include <QImage>
#include <QWidget>

#include "desktop/twipped.h"

class PictureBox : public Twipped<QWidget> {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent, QColor background = Qt::white);

    // The persistent drawing at the box's current size.
    const QImage& Image() const { return image_; }

    // The background picture; drawing it also paints it into the image.
    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);

    // Takes `image` as the whole drawing, shared rather than copied, when it has the
    // box's size; false (and nothing changed) otherwise.
    bool AdoptImage(const QImage& image);

    // Draws the source rectangle of `source` (all of it when empty) at pixel (x, y),
    // at its own size, as a plain copy.
    void PaintPicture(const QImage& source, int x, int y, QRect sourceRect = {});

  protected:
    void TwipsChanged() override;
    void paintEvent(QPaintEvent*) override;

  private:
    QColor background_;
    QImage image_;
    QImage picture_;
};
