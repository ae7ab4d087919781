#pragma once
// The crop editor's coordinate panel: six boxes with the crop rectangle in pixels
// (the first four can be typed into), their labels, the title and three hints.
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "desktop/picture_box.h"

class CropControlsPanel : public PictureBox {
    Q_OBJECT
  public:
    explicit CropControlsPanel(QWidget* parent);

    QLineEdit* TextLeft;
    QLineEdit* TextRight;
    QLineEdit* TextTop;
    QLineEdit* TextBottom;
    QLineEdit* TextWidthW;
    QLineEdit* TextHeightH;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label10;

    // In the order Left, Right, Top, Bottom, Width, Height.
    std::array<QLineEdit*, 6> Boxes() const;
    // The four that can be typed into.
    bool IsEditableBox(const QObject* object) const;
};
