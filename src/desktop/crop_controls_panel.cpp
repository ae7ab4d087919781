#include "desktop/crop_controls_panel.h"

#include "desktop/panel_art.h"
#include "engine/twips.h"

namespace {

const QColor kNavy(0, 0, 128);
const QColor kPink(255, 192, 192);

// The panel was laid out in "MS Sans Serif", a Windows bitmap font; the nearest sans font of the
// system (Liberation Sans shares Arial's metrics) stands in at the same point size.
QFont SansFont(qreal points, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLineEdit* Box(QWidget* parent, Twips top) {
    auto* box = new QLineEdit(QStringLiteral("0"), parent);
    box->setGeometry(TwipsRectToPixels(1560, top, 1095, 375));
    box->setFont(SansFont(12, true));
    return box;
}

QLabel* Caption(QWidget* parent, const QString& text, const QRect& rect, const QFont& font,
                const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(rect);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* Hint(QWidget* parent, const QString& text, Twips top, Twips height, const QColor& colour) {
    QLabel* label = Caption(parent, text, TwipsRectToPixels(240, top, 2415, height),
                            SansFont(8, false), colour);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CropControlsPanel::CropControlsPanel(QWidget* parent) : PictureBox(parent, Qt::white) {
    SetRect(4200, 2400, 2895, 6690);
    SetPicture(CropPanelBackground(QSize(192, 447)));
    setCursor(Qt::SizeAllCursor);

    Label1 = Caption(this, QStringLiteral("Crop (F4)"), TwipsRectToPixels(840, 60, 1215, 360),
                     SansFont(13.5, false), Qt::white);
    Label1->setAutoFillBackground(true);
    QPalette title = Label1->palette();
    title.setColor(QPalette::Window, kNavy);
    Label1->setPalette(title);

    const QStringList names = {QStringLiteral("Left"),  QStringLiteral("Right"),
                               QStringLiteral("Top"),   QStringLiteral("Bottom"),
                               QStringLiteral("Width"), QStringLiteral("Height")};
    const Twips tops[] = {600, 1080, 1560, 2040, 2640, 3120};
    QLabel* captions[6];
    for (int i = 0; i < 6; ++i)
        captions[i] = Caption(this, names[i], TwipsRectToPixels(120, tops[i], 1335, 375),
                              SansFont(12, true), Qt::black);
    Label2 = captions[0], Label3 = captions[1], Label4 = captions[2];
    Label5 = captions[3], Label6 = captions[4], Label7 = captions[5];

    Label8 = Hint(this,
                  QStringLiteral("Click on the object you want to move (the picture or one of "
                                 "the red cropping markers) and then use the arrow keys. "
                                 "Without SHIFT, you can move one pixel at a time. With "
                                 "SHIFT, you can move 8 pixels at a time."),
                  3720, 1455, kNavy);
    Label9 = Hint(this,
                  QStringLiteral("DOUBLE-CLICK on the picture to do the crop. It will be "
                                 "cropped INSIDE the 4 red cropping markers."),
                  5160, 855, Qt::red);
    Label10 = Hint(this, QStringLiteral("F3 moves all 4 bars back to their default position."),
                   6000, 615, kNavy);

    TextLeft = Box(this, tops[0]);
    TextRight = Box(this, tops[1]);
    TextTop = Box(this, tops[2]);
    TextBottom = Box(this, tops[3]);
    TextWidthW = Box(this, tops[4]);
    TextHeightH = Box(this, tops[5]);
    for (QLineEdit* shown : {TextWidthW, TextHeightH}) {
        shown->setReadOnly(true);
        shown->setEnabled(false);
        // A stylesheet keeps the pink in the disabled state too.
        shown->setStyleSheet(QStringLiteral("QLineEdit { background: %1; }").arg(kPink.name()));
    }
}

std::array<QLineEdit*, 6> CropControlsPanel::Boxes() const {
    return {TextLeft, TextRight, TextTop, TextBottom, TextWidthW, TextHeightH};
}

bool CropControlsPanel::IsEditableBox(const QObject* object) const {
    return object == TextLeft || object == TextRight || object == TextTop || object == TextBottom;
}
