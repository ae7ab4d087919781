// Our WebP and AVIF writers against the formats' own command-line encoders (cwebp,
// avifenc) and against our PNG, on a picture of a real page (a PNG given as the first
// argument, e.g. one glimpa-shot made). Interleaved runs; best and median time, size.
// Prints figures only.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "formats/picture_file.h"
#include "interleaved_runs.h"

namespace {

double Kib(const QString& path) {
    return QFileInfo(path).size() / 1024.0;
}

void Line(const char* name, const Timings& t, const QString& file) {
    if (t.failed || t.ms.empty())
        std::printf("  %-26s failed or not installed\n", name);
    else
        std::printf("  %-26s %8.1f / %8.1f ms  %8.0f KiB\n", name, t.Best(), t.Median(), Kib(file));
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: web_formats_bench PAGE.png [runs]\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    const QImage page = QImageReader(input).read().convertToFormat(QImage::Format_RGB32);
    if (page.isNull()) return 1;
    const QString dir = QDir::tempPath() + QStringLiteral("/web-formats-bench");
    QDir().mkpath(dir);
    const auto file = [&](const char* name) { return dir + u'/' + QLatin1String(name); };
    std::printf("%s: %d x %d, %d interleaved runs, best / median time of each\n\n",
                qPrintable(input), page.width(), page.height(), runs);

    // AVIF holds fewer rows: both encoders get the top rows it holds.
    const int avifRows = static_cast<int>(
        std::min<qint64>(page.height(), MostPictureRows(PictureFormat::Avif, page.width())));
    const QImage avifPage = page.copy(0, 0, page.width(), avifRows);
    if (!WritePictureFile(avifPage, file("avif-input.png"), PictureFormat::Png)) return 1;
    const auto ours = [&](const char* out, PictureFormat format, int quality) {
        return [&, out, format, quality] {
            JpegChoice choice;
            choice.qualityGiven = quality > 0;
            if (quality > 0) choice.quality = quality;
            return bool(WritePictureFile(format == PictureFormat::Avif ? avifPage : page, file(out),
                                         format, choice));
        };
    };
    const auto tool = [&](const char* program, QStringList args) {
        return [program, args] { return RunTool(QLatin1String(program), args); };
    };
    Timings png, webpLossless, cwebpLossless, cwebpFast, webp80, cwebp80, avif, avifenc;
    // The quantizer our AVIF writer takes for quality 60: (100 - 60) * 63 / 99.
    const QString quantizer = QString::number((100 - 60) * 63 / 99);
    Interleave(
        runs,
        {{&png, ours("ours.png", PictureFormat::Png, 0)},
         {&webpLossless, ours("ours.webp", PictureFormat::Webp, 0)},
         {&cwebpLossless,
          tool("cwebp", {"-quiet", "-lossless", input, "-o", file("cwebp-lossless.webp")})},
         {&cwebpFast,
          tool("cwebp", {"-quiet", "-lossless", "-z", "1", input, "-o", file("cwebp-z1.webp")})},
         {&webp80, ours("ours-q80.webp", PictureFormat::Webp, 80)},
         {&cwebp80, tool("cwebp", {"-quiet", "-q", "80", input, "-o", file("cwebp-q80.webp")})},
         {&avif, ours("ours.avif", PictureFormat::Avif, 60)},
         {&avifenc, tool("avifenc", {"-s", "8", "-y", "444", "--min", quantizer, "--max", quantizer,
                                     file("avif-input.png"), file("avifenc.avif")})}});
    std::printf("PNG\n");
    Line("ours", png, file("ours.png"));
    std::printf("WebP lossless\n");
    Line("ours (level 7)", webpLossless, file("ours.webp"));
    Line("cwebp -lossless", cwebpLossless, file("cwebp-lossless.webp"));
    Line("cwebp -lossless -z 1", cwebpFast, file("cwebp-z1.webp"));
    std::printf("WebP quality 80\n");
    Line("ours", webp80, file("ours-q80.webp"));
    Line("cwebp -q 80", cwebp80, file("cwebp-q80.webp"));
    std::printf("AVIF quality 60 (quantizer %s, speed 8, 4:4:4), the top %d rows\n",
                qPrintable(quantizer), avifRows);
    Line("ours", avif, file("ours.avif"));
    Line("avifenc", avifenc, file("avifenc.avif"));
    return 0;
}
