#include "formats/exact_palette.h"

#include <QHash>
#include <QList>

std::optional<QImage> ExactPalette(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> index;
    QList<QRgb> colours;
    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    QRgb last = 0;
    int lastIndex = -1;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = in[x] | 0xFF000000u;
            // Runs of one colour are the rule in a page picture: skip the lookup.
            if (lastIndex < 0 || c != last) {
                auto it = index.constFind(c);
                if (it == index.constEnd()) {
                    if (colours.size() == 256) return std::nullopt;
                    it = index.insert(c, static_cast<int>(colours.size()));
                    colours << c;
                }
                last = c;
                lastIndex = it.value();
            }
            out[x] = static_cast<uchar>(lastIndex);
        }
    }
    indexed.setColorTable(colours);
    return indexed;
}
