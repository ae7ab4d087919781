// Times the checked bitmap reader on composites of one to six 1920 x 1080 screens
// beside Qt's own bitmap reader, and the BMP copy beside a plain file copy. Prints
// figures only. Usage: bitmap_bench [runs]
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "formats/bitmap_copy.h"
#include "formats/bitmap_file.h"
#include "formats/bitmap_reader.h"

namespace {

double BestMs(int runs, const std::function<bool()>& work) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!work()) return -1;
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir folder;
    std::printf("%-12s %12s %12s %12s %12s\n", "composite", "ours ms", "Qt ms", "copy ms",
                "QFile ms");
    for (int screens : {1, 3, 6}) {
        QImage picture(1920, 1080 * screens, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x) line[x] = qRgb(x, y, x ^ y);
        }
        const QString path = folder.filePath(QStringLiteral("in.bmp"));
        const QString out = folder.filePath(QStringLiteral("out.bmp"));
        if (!SavePicture(picture, path)) return 1;
        const double ours = BestMs(runs, [&] { return ReadBitmapFile(path).ok(); });
        const double qt = BestMs(runs, [&] {
            QImageReader reader(path, "bmp");
            reader.setAllocationLimit(0);
            return !reader.read().isNull();
        });
        const double copy = BestMs(runs, [&] { return CopyBitmapFile(path, out).ok; });
        const double plain = BestMs(runs, [&] {
            QFile::remove(out);
            return QFile::copy(path, out);
        });
        std::printf("1920x%-7d %12.1f %12.1f %12.1f %12.1f\n", 1080 * screens, ours, qt, copy,
                    plain);
    }
    return 0;
}
