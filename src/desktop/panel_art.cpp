#include "desktop/panel_art.h"

#include <QBitmap>
#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kGoldLight(0xF6, 0xDE, 0x8D);
const QColor kGoldDark(0xB0, 0x86, 0x1E);
const QColor kGreyLight(0xE4, 0xE4, 0xE4);
const QColor kGreyDark(0x7A, 0x7A, 0x7A);
const QColor kNavy(0, 0, 128);

// Gold band outside, grey bevel inside it, white face in the middle. `band` is the
// width of the gold band in pixels; returns the face rectangle.
QRect DrawFrame(QPainter& p, QRect r, int band) {
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient gold(r.topLeft(), r.bottomRight());
    gold.setColorAt(0, kGoldLight);
    gold.setColorAt(0.5, kGoldDark);
    gold.setColorAt(1, kGoldLight);
    p.fillRect(r, gold);
    // Outer bevel: light on the top and left, dark on the bottom and right.
    p.setPen(kGoldLight.lighter(110));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(kGreyDark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());

    QRect inner = r.adjusted(band, band, -band, -band);
    // Grey bevel, sunken: dark above and left, light below and right.
    for (int i = 0; i < 2; ++i) {
        const QRect b = inner.adjusted(-1 - i, -1 - i, 1 + i, 1 + i);
        p.setPen(i == 0 ? kGreyDark : kGreyDark.lighter(130));
        p.drawLine(b.topLeft(), b.topRight());
        p.drawLine(b.topLeft(), b.bottomLeft());
        p.setPen(i == 0 ? kGreyLight : Qt::white);
        p.drawLine(b.bottomLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomRight());
    }
    p.fillRect(inner, Qt::white);
    return inner;
}

QImage Blank(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

}  // namespace

QImage PanelBackground(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    const QRect face = DrawFrame(p, image.rect(), 10);
    // A thin gold rule under the address row, in the face's margin.
    p.setPen(kGoldDark);
    p.drawLine(face.left() + 16, face.top() + 34, face.right() - 16, face.top() + 34);
    return image;
}

QImage TitleCard(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    const QRect face = DrawFrame(p, image.rect(), 14);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QFont title(QStringLiteral("DejaVu Serif"));
    title.setPixelSize(58);
    title.setBold(true);
    p.setFont(title);
    p.setPen(kNavy);
    const QRect titleRect(face.left(), face.top() + 50, face.width(), 80);
    p.drawText(titleRect, Qt::AlignCenter, QStringLiteral("Glimpa"));

    QFont line(QStringLiteral("DejaVu Sans"));
    line.setPixelSize(16);
    p.setFont(line);
    p.setPen(kGreyDark.darker(150));
    p.drawText(QRect(face.left(), titleRect.bottom() + 6, face.width(), 24), Qt::AlignCenter,
               QStringLiteral("The whole web page in one picture"));

    // A small stack of pages: the page below the screen joins the picture.
    const int cx = face.center().x();
    const int top = titleRect.bottom() + 48;
    for (int i = 2; i >= 0; --i) {
        const QRect sheet(cx - 34 + i * 8, top + i * 8, 52, 64);
        p.setPen(QPen(kGoldDark, 2));
        p.setBrush(i == 0 ? QColor(Qt::white) : kGoldLight);
        p.drawRect(sheet);
    }
    p.setPen(QPen(kNavy, 2));
    for (int k = 0; k < 4; ++k) p.drawLine(cx - 28, top + 14 + k * 12, cx + 10, top + 14 + k * 12);
    return image;
}

QImage ButtonFace(QSize size, const QString& word) {
    QImage image = Blank(size);
    QPainter p(&image);
    const QRect face = DrawFrame(p, image.rect(), 4);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    // The largest size up to 11 pixels at which the word fits the face.
    for (int px = 11; px >= 6; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).horizontalAdvance(word) <= face.width() - 2) break;
    }
    p.setFont(font);
    p.setPen(kNavy);
    p.drawText(face, Qt::AlignCenter, word);
    return image;
}

QImage EditorBackground(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    // A faint grid, so the white of a page stands apart from the editor's own white.
    p.setPen(QColor(0xEE, 0xEE, 0xF4));
    for (int x = 0; x < size.width(); x += 16) p.drawLine(x, 0, x, size.height());
    for (int y = 0; y < size.height(); y += 16) p.drawLine(0, y, size.width(), y);
    return image;
}

QImage CropPanelBackground(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    DrawFrame(p, image.rect(), 6);
    return image;
}

QCursor PanelCursor() {
    // A pointing hand whose fingertip is the hot spot.
    QImage shape(32, 32, QImage::Format_ARGB32);
    shape.fill(Qt::transparent);
    QPainter p(&shape);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.moveTo(10, 1);
    hand.lineTo(14, 1);
    hand.lineTo(14, 11);
    hand.lineTo(24, 13);
    hand.lineTo(26, 16);
    hand.lineTo(25, 26);
    hand.lineTo(21, 30);
    hand.lineTo(12, 30);
    hand.lineTo(5, 20);
    hand.lineTo(6, 17);
    hand.lineTo(10, 19);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.drawLine(18, 13, 18, 21);
    p.drawLine(22, 14, 22, 21);
    p.end();
    return QCursor(QPixmap::fromImage(shape), 12, 1);
}
