#include "desktop/picture_box.h"

#include <QPaintEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget* parent, QColor background)
    : Twipped<QWidget>(parent), background_(background) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::TwipsChanged() {
    const QSize size(width(), height());
    if (image_.size() == size) return;
    if (size.isEmpty()) {
        image_ = QImage();  // nothing to draw into; painting into it is skipped
        update();
        return;
    }
    // Resizing keeps what was drawn where it still fits, like a persistent bitmap;
    // the background picture shows wherever the old drawing did not reach.
    QImage grown(size, QImage::Format_RGB32);
    grown.fill(background_);
    if (!picture_.isNull() || !image_.isNull()) {
        QPainter painter(&grown);
        painter.drawImage(0, 0, picture_);
        painter.drawImage(0, 0, image_);
    }
    image_ = std::move(grown);
    update();
}

void PictureBox::SetPicture(const QImage& picture) {
    picture_ = picture.convertToFormat(QImage::Format_RGB32);
    if (image_.isNull()) return;
    // A picture that covers the whole box leaves no background to show: the drawing is
    // the picture itself, shared until either is painted on.
    if (AdoptImage(picture_)) return;
    image_.fill(background_);
    PaintPicture(picture_, 0, 0);
}

bool PictureBox::AdoptImage(const QImage& image) {
    if (image_.isNull() || image.size() != image_.size() || image.format() != QImage::Format_RGB32)
        return false;
    image_ = image;
    update();
    return true;
}

void PictureBox::PaintPicture(const QImage& source, int x, int y, QRect sourceRect) {
    if (image_.isNull() || source.isNull()) return;
    if (sourceRect.isNull()) sourceRect = source.rect();
    // A picture that covers the whole drawing becomes it, shared until painted on.
    if (x == 0 && y == 0 && sourceRect == source.rect() && AdoptImage(source)) return;
    QPainter painter(&image_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x, y), source, sourceRect);
    painter.end();
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), background_);
    painter.drawImage(event->rect().topLeft(), image_, event->rect());
}
