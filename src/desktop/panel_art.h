#pragma once
// The program's pictures, drawn rather than shipped: the bevelled gold-and-grey frame
// with a white face that the control panel, its buttons and the title card share.
#include <QCursor>
#include <QImage>
#include <QString>

// The control panel's background (479 x 99 pixels at design).
QImage PanelBackground(QSize size);

// The browser window's start-up title card (480 x 347 pixels).
QImage TitleCard(QSize size);

// A picture button's face: the same frame, the word on the white face.
QImage ButtonFace(QSize size, const QString& word);

// The crop editor's window background (1280 x 960) and its panel's (192 x 447).
QImage EditorBackground(QSize size);
QImage CropPanelBackground(QSize size);

// The pointing-hand cursor of the picture buttons: 32 x 32, hot spot (12, 1).
QCursor PanelCursor();
