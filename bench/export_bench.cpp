// Times the export writers on a tall page of text beside the reference tools:
// cjpeg for JPEG, ImageMagick's convert for GIF and PNG. Prints figures only.
//
// Usage: export_bench [work folder] [runs] [jpeg|gif|png]   (run with QT_QPA_PLATFORM=offscreen)
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "engine/cgdiplus.h"
#include "engine/jpg_writer.h"
#include "formats/bitmap_file.h"
#include "formats/gif_file.h"
#include "formats/jpeg_library.h"
#include "interleaved_runs.h"

namespace {

const char* const kWords[] = {"capture", "the",     "page", "screen", "picture", "browser",
                              "of",      "and",     "crop", "bars",   "save",    "quality",
                              "a",       "window",  "text", "colour", "file",    "to",
                              "control", "address", "rows", "panel",  "image",   "with"};

QString Sentence(QRandomGenerator& rng, int words) {
    QStringList out;
    for (int i = 0; i < words; ++i) out << QString::fromLatin1(kWords[rng.bounded(24)]);
    return out.join(u' ');
}

// A web page as a browser would show it: a banner, a side bar, headings, links and
// many lines of body text, a few pictures.
QImage RenderTextPage(QSize size) {
    QImage page(size, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QRandomGenerator rng(7);

    QLinearGradient banner(0, 0, size.width(), 160);
    banner.setColorAt(0, QColor(20, 60, 140));
    banner.setColorAt(1, QColor(90, 160, 220));
    p.fillRect(0, 0, size.width(), 160, banner);
    QFont title(QStringLiteral("DejaVu Serif"), 40, QFont::Bold);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(60, 105, QStringLiteral("The Daily Capture"));

    const int side = 360;
    p.fillRect(size.width() - side, 160, side, size.height() - 160, QColor(242, 244, 248));
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPixelSize(16);
    QFont heading(QStringLiteral("Liberation Serif"));
    heading.setPixelSize(30);
    heading.setBold(true);
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(13);

    int y = 220;
    const int left = 60, right = size.width() - side - 40;
    while (y < size.height() - 60) {
        p.setFont(heading);
        p.setPen(QColor(150, 20, 30));
        p.drawText(left, y, Sentence(rng, 5));
        y += 46;
        const int lines = 8 + rng.bounded(10);
        p.setFont(body);
        for (int i = 0; i < lines && y < size.height() - 40; ++i) {
            p.setPen(i % 5 == 3 ? QColor(20, 70, 200) : QColor(30, 30, 30));
            p.drawText(QRect(left, y - 16, right - left, 22), Qt::AlignLeft | Qt::AlignVCenter,
                       Sentence(rng, 18));
            y += 24;
        }
        if (rng.bounded(3) == 0 && y < size.height() - 300) {
            // A picture in the article: a smooth photo-like block.
            QRadialGradient photo(QPointF(left + 300, y + 120), 320);
            photo.setColorAt(0, QColor(250, 210, 120));
            photo.setColorAt(0.6, QColor(60, 140, 90));
            photo.setColorAt(1, QColor(30, 40, 70));
            p.fillRect(left, y, 600, 240, photo);
            y += 270;
        }
        y += 30;
    }
    p.setFont(small);
    for (int ys = 200; ys < size.height() - 40; ys += 22) {
        p.setPen(ys % 132 == 0 ? QColor(20, 70, 200) : QColor(80, 80, 80));
        p.drawText(size.width() - side + 20, ys, Sentence(rng, 6));
    }
    return page;
}

double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int j = 0; j < x.height(); ++j) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(j));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(j));
        for (int i = 0; i < x.width(); ++i) {
            const double dr = qRed(p[i]) - qRed(q[i]), dg = qGreen(p[i]) - qGreen(q[i]),
                         db = qBlue(p[i]) - qBlue(q[i]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

// Wall times of one contender over the runs, in milliseconds.

QImage Read(const QString& path) {
    return QImageReader(path).read();
}
double Kib(const QString& path) {
    return QFileInfo(path).size() / 1024.0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString dir =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + "/export-bench";
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    // A third argument picks one format: jpeg, gif or png.
    const QString only = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const auto wanted = [&](const char* format) { return only.isEmpty() || only == format; };
    QDir().mkpath(dir);
    const auto file = [&](const char* name) { return dir + u'/' + QString::fromLatin1(name); };
    // The real ImageMagick, not a wrapper in front of it.
    const QString convert = QFileInfo::exists("/usr/bin/convert-im6.q16")
                                ? QStringLiteral("/usr/bin/convert-im6.q16")
                                : QStringLiteral("convert");

    const QImage page = RenderTextPage(QSize(1920, 6480));
    if (!SavePicture(page, file("in.bmp"))) return 1;
    const QImage source = *LoadPicture(file("in.bmp"));
    std::printf("page 1920 x 6480, %d interleaved runs, best / median time of each\n\n", runs);

    // JPEG, quality 85, from the bitmap file to the JPEG file.
    auto library = MakeTurboImagingLibrary();
    const auto ourJpeg = [&](int progressive) {
        return [&, progressive] {
            JpgBuffer buffer;
            const bool ok = WriteJpgFromBitmap(*library, buffer, file("in.bmp"), file("ours.jpg"),
                                               85, progressive) == JpgSaveResult::Written;
            library->GlobalFree(buffer.JpgImage);
            return ok;
        };
    };
    const auto cjpeg = [&](QStringList options, const char* out) {
        return [&, options, out] {
            return RunTool("cjpeg", options + QStringList{"-quality", "85", "-outfile", file(out),
                                                          file("in.bmp")});
        };
    };
    for (int progressive : {0, 1}) {
        if (!wanted("jpeg")) break;
        Timings ours, plain, optimized;
        const QStringList mode = progressive ? QStringList{"-progressive"} : QStringList{};
        Interleave(runs, {{&ours, ourJpeg(progressive)},
                          {&plain, cjpeg(mode, "cjpeg.jpg")},
                          {&optimized, cjpeg(mode + QStringList{"-optimize"}, "cjpeg-opt.jpg")}});
        std::printf("JPEG q85 %s\n", progressive ? "progressive" : "baseline");
        std::printf("  ours            %7.1f / %7.1f ms  %6.0f KiB  PSNR %.2f dB\n", ours.Best(),
                    ours.Median(), Kib(file("ours.jpg")), Psnr(Read(file("ours.jpg")), source));
        std::printf("  cjpeg           %7.1f / %7.1f ms  %6.0f KiB  PSNR %.2f dB\n", plain.Best(),
                    plain.Median(), Kib(file("cjpeg.jpg")), Psnr(Read(file("cjpeg.jpg")), source));
        std::printf("  cjpeg -optimize %7.1f / %7.1f ms  %6.0f KiB\n", optimized.Best(),
                    optimized.Median(), Kib(file("cjpeg-opt.jpg")));
        std::printf("  time ours/cjpeg %.2f (median %.2f), size ours/cjpeg -optimize %.3f\n\n",
                    ours.Best() / plain.Best(), ours.Median() / plain.Median(),
                    Kib(file("ours.jpg")) / Kib(file("cjpeg-opt.jpg")));
    }

    // GIF, bitmap file to GIF file.
    if (wanted("gif")) {
        Timings ours, im;
        Interleave(
            runs, {{&ours, [&] { return WriteGifFromBitmap(file("in.bmp"), file("ours.gif")).ok; }},
                   {&im, [&] {
                        return RunTool(convert, {file("in.bmp"), file("im.gif")});
                    }}});
        std::printf("GIF\n");
        std::printf("  ours            %7.1f / %7.1f ms  %6.0f KiB  PSNR %.2f dB\n", ours.Best(),
                    ours.Median(), Kib(file("ours.gif")), Psnr(Read(file("ours.gif")), source));
        std::printf("  convert         %7.1f / %7.1f ms  %6.0f KiB  PSNR %.2f dB\n", im.Best(),
                    im.Median(), Kib(file("im.gif")), Psnr(Read(file("im.gif")), source));
        std::printf("  time ours/convert %.2f (median %.2f), size %.3f\n\n",
                    ours.Best() / im.Best(), ours.Median() / im.Median(),
                    Kib(file("ours.gif")) / Kib(file("im.gif")));
    }

    // PNG: ours from the picture in memory (the crop editor's box), convert from the file.
    if (wanted("png")) {
        cGdiPlus writer;
        Timings ours, im;
        Interleave(runs,
                   {{&ours, [&] { return writer.PictureBoxToFile(source, file("ours.png"), 85); }},
                    {&im, [&] {
                         return RunTool(convert, {file("in.bmp"), file("im.png")});
                     }}});
        std::printf("PNG\n");
        std::printf("  ours            %7.1f / %7.1f ms  %6.0f KiB  exact %s\n", ours.Best(),
                    ours.Median(), Kib(file("ours.png")),
                    Psnr(Read(file("ours.png")), source) == INFINITY ? "yes" : "NO");
        std::printf("  convert         %7.1f / %7.1f ms  %6.0f KiB\n", im.Best(), im.Median(),
                    Kib(file("im.png")));
        std::printf("  time ours/convert %.2f (median %.2f), size %.3f\n", ours.Best() / im.Best(),
                    ours.Median() / im.Median(), Kib(file("ours.png")) / Kib(file("im.png")));
    }
    return 0;
}
