#pragma once
// Pages the capture tests write into the program folder, with content the tests know
// pixel by pixel, and the checks that compare a picture against them.
#include <QColor>
#include <QImage>
#include <QString>

namespace capturepages {

// Colour of the page's pixel row `index` on a bands page: every row has its own.
QColor BandColor(int index);

// A page of `rows` one-pixel bands, each its BandColor, with no scroll bar. With a
// header, a position:fixed bar of `header` pixels in HeaderColor lies over the top.
QString BandsPage(int rows, int header = 0);
QColor HeaderColor();
// That bar alone, `rows` pixels tall, for pages built around it.
QString FixedHeader(int rows);

// A page that grows without end: a block of 1000 pixels every 50 ms, blue (#0000ff)
// first, then green (#00ff00), in turn.
QString EndlessPage();

// A white page `height` pixels tall with two images far below its first screen: one
// with loading="lazy" and one whose source a script sets when it comes into sight.
struct LazyImage {
    QRect place;
    QColor color;
    QString file;
};
QString LazyPage(int height, const LazyImage& native, const LazyImage& scripted);

// Writes `text` to `name` in the program folder; the file:// address of it.
QString WritePage(const QString& name, const QString& text);

// The first row of `picture` (from `firstRow` on) whose pixels are not all `expected(y)`,
// or -1 when every row matches.
template <class Expected>
int FirstWrongRow(const QImage& picture, int firstRow, int lastRow, Expected expected) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = firstRow; y < lastRow; ++y) {
        const QRgb want = expected(y).rgb() | 0xff000000;
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if ((line[x] | 0xff000000) != want) return y;
    }
    return -1;
}

}  // namespace capturepages
