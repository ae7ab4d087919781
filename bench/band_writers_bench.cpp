// The band writers beside today's whole-picture writers on page pictures: a real page's
// picture (a PNG given on the command line, e.g. one glimpa-shot made), a tall synthetic
// page of text and a shorter one of photo-like content. Each write runs in a child process
// of its own so that its peak memory can be read: the whole-picture writer with the picture
// in memory, as its callers hold it; the band writer fed 1080-row bands read from a raw
// file, as the capture draws them. Prints time (best and median of interleaved runs), file
// size and peak memory. Usage: band_writers_bench page.png [runs]
//                              band_writers_bench --raw text|photo W H RAW
//                              band_writers_bench --raw picture.png RAW
//                              band_writers_bench --child whole|bands FORMAT RAW W H OUT
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

#include "formats/band_writer.h"
#include "formats/picture_file.h"
#include "interleaved_runs.h"

namespace {

constexpr int kBandRows = 1080;

struct Format {
    const char* name;
    PictureFormat format;
    bool progressive;
    const char* ending;
};

const Format kFormats[] = {
    {"png", PictureFormat::Png, false, ".png"},
    {"jpeg", PictureFormat::Jpeg, false, ".jpg"},
    {"progressive", PictureFormat::Jpeg, true, ".jpg"},
    {"bmp", PictureFormat::Bmp, false, ".bmp"},
};

const Format* FormatNamed(const QString& name) {
    for (const Format& f : kFormats)
        if (name == QLatin1StringView(f.name)) return &f;
    return nullptr;
}

// Rows top..top+rows of a raw RGB32 picture `width` wide.
QImage ReadRows(QFile& raw, int width, qint64 top, int rows) {
    QImage band(width, rows, QImage::Format_RGB32);
    const qint64 bytes = qint64{width} * 4 * rows;
    if (!raw.seek(top * width * 4) ||
        raw.read(reinterpret_cast<char*>(band.bits()), bytes) != bytes)
        return {};
    return band;
}

// One write; prints "ms bytes peak-kB", or nothing when it failed.
int Child(const QStringList& args) {
    const Format* format = FormatNamed(args[3]);
    QFile raw(args[4]);
    const int width = args[5].toInt(), height = args[6].toInt();
    const QString out = args[7];
    if (!format || !raw.open(QIODevice::ReadOnly)) return 1;
    JpegChoice jpeg;
    jpeg.progressive = format->progressive;
    QElapsedTimer timer;
    double readMs = 0, finishMs = 0;
    if (args[2] == u"whole") {
        const QImage picture = ReadRows(raw, width, 0, height);
        timer.start();
        if (picture.isNull() || !WritePictureFile(picture, out, format->format, jpeg)) return 1;
    } else {
        timer.start();
        std::unique_ptr<BandWriter> writer = BandWriterFor(out, format->format, jpeg);
        if (!writer || !writer->Begin(QSize(width, height))) return 1;
        for (int top = 0; top < height; top += kBandRows) {
            QElapsedTimer reading;
            reading.start();
            QImage band = ReadRows(raw, width, top, std::min(kBandRows, height - top));
            readMs += reading.nsecsElapsed() / 1e6;
            if (band.isNull() || !writer->Add(std::move(band))) return 1;
        }
        QElapsedTimer finishing;
        finishing.start();
        if (!writer->Finish()) return 1;
        finishMs = finishing.nsecsElapsed() / 1e6;
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    // This process's own peak: getrusage would also count the parent's before exec.
    long peakKb = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:")) peakKb = line.mid(6).trimmed().split(' ')[0].toLong();
    std::printf("%.1f %lld %ld %.1f %.1f\n", ms, QFileInfo(out).size(), peakKb, readMs, finishMs);
    return 0;
}

// A synthetic page written band by band to `path` as raw RGB32: text lines on white, or
// photo-like gradients with noise.
bool MakeRaw(const QString& path, int width, int height, bool photo) {
    QFile raw(path);
    if (!raw.open(QIODevice::WriteOnly)) return false;
    QImage band(width, kBandRows, QImage::Format_RGB32);
    quint32 noise = 1;
    for (int top = 0; top < height; top += kBandRows) {
        const int rows = std::min(kBandRows, height - top);
        for (int i = 0; i < rows; ++i) {
            const int y = top + i;
            auto* line = reinterpret_cast<QRgb*>(band.scanLine(i));
            for (int x = 0; x < width; ++x) {
                noise = noise * 1664525u + 1013904223u;
                QRgb c = qRgb(255, 255, 255);
                if (photo) {
                    const int n = static_cast<int>(noise >> 28);
                    c = qRgb((x / 4 + y / 9 + n) & 255, (y / 3 + n) & 255, (x / 7 + n) & 255);
                } else if (y % 24 < 14 && x > 80 && x < width - 300 &&
                           ((x * 7 + y * 3) / 5 + (x / 40) * 13) % 11 < 3) {
                    // Strokes of text with a little anti-aliasing grey.
                    const int grey = 20 + static_cast<int>(noise >> 29) * 30;
                    c = qRgb(grey, grey, grey + 10);
                } else if (y % 3000 < 400 && x > width - 280) {
                    c = qRgb(230, 240, 250);  // a side panel now and then
                }
                line[x] = c;
            }
        }
        const qint64 bytes = qint64{width} * 4 * rows;
        if (raw.write(reinterpret_cast<const char*>(band.constBits()), bytes) != bytes)
            return false;
    }
    return true;
}

struct Result {
    Timings wall;    // the child's run, start and reading included
    Timings time;    // the child's own figure: the write alone (bands: reading them included)
    Timings read;    // bands: reading them from the raw file, as a capture would draw them
    Timings finish;  // bands: Finish, the wait after the last band
    qint64 size = 0;
    long peakKb = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 8 && args[1] == u"--child") return Child(args);
    // A synthetic picture alone, for a profiler's runs of one child.
    if (args.size() == 6 && args[1] == u"--raw")
        return MakeRaw(args[5], args[3].toInt(), args[4].toInt(), args[2] == u"photo") ? 0 : 1;
    if (args.size() == 4 && args[1] == u"--raw") {
        QImageReader reader(args[2]);
        reader.setAllocationLimit(0);
        const QImage page = reader.read().convertToFormat(QImage::Format_RGB32);
        QFile raw(args[3]);
        return !page.isNull() && raw.open(QIODevice::WriteOnly) &&
                       raw.write(reinterpret_cast<const char*>(page.constBits()),
                                 page.sizeInBytes()) == page.sizeInBytes()
                   ? 0
                   : 1;
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: band_writers_bench page.png [runs]\n");
        return 2;
    }
    const int runs = args.size() > 2 ? std::max(1, args[2].toInt()) : 5;
    QTemporaryDir folder;
    struct Input {
        QString name;
        QString raw;
        int width = 0;
        int height = 0;
    };
    std::vector<Input> inputs;
    {
        QImageReader reader(args[1]);
        reader.setAllocationLimit(0);
        const QImage page = reader.read().convertToFormat(QImage::Format_RGB32);
        if (page.isNull()) return 1;
        Input input{QStringLiteral("page"), folder.filePath(QStringLiteral("page.raw")),
                    page.width(), page.height()};
        QFile raw(input.raw);
        if (!raw.open(QIODevice::WriteOnly) ||
            raw.write(reinterpret_cast<const char*>(page.constBits()), page.sizeInBytes()) !=
                page.sizeInBytes())
            return 1;
        inputs.push_back(input);
    }
    inputs.push_back(
        {QStringLiteral("text"), folder.filePath(QStringLiteral("text.raw")), 1920, 150000});
    inputs.push_back(
        {QStringLiteral("photo"), folder.filePath(QStringLiteral("photo.raw")), 1920, 20000});
    for (size_t i = 1; i < inputs.size(); ++i)
        if (!MakeRaw(inputs[i].raw, inputs[i].width, inputs[i].height, i == 2)) return 1;

    std::printf("%-6s %-12s %-6s %9s %9s %8s %9s %12s %8s\n", "input", "format", "writer",
                "best ms", "median ms", "read ms", "finish ms", "bytes", "peak MB");
    for (const Input& input : inputs) {
        for (const Format& format : kFormats) {
            // JPEG stops at 65,500 rows: the picture's top part, as much as fits.
            const int height = static_cast<int>(
                std::min<qint64>(input.height, MostPictureRows(format.format, input.width)));
            std::map<QString, Result> results;
            std::vector<std::pair<Timings*, std::function<bool()>>> work;
            for (const QString& mode : {QStringLiteral("whole"), QStringLiteral("bands")}) {
                Result& result = results[mode];
                work.push_back({&result.wall, [&, mode] {
                                    QProcess child;
                                    const QString out =
                                        folder.filePath(mode + QLatin1StringView(format.ending));
                                    child.start(QCoreApplication::applicationFilePath(),
                                                {QStringLiteral("--child"), mode,
                                                 QLatin1StringView(format.name), input.raw,
                                                 QString::number(input.width),
                                                 QString::number(height), out});
                                    if (!child.waitForFinished(-1) || child.exitCode() != 0)
                                        return false;
                                    const QList<QByteArray> figures =
                                        child.readAllStandardOutput().simplified().split(' ');
                                    if (figures.size() != 5) return false;
                                    result.time.ms.push_back(figures[0].toDouble());
                                    result.size = figures[1].toLongLong();
                                    result.peakKb = std::max(result.peakKb, figures[2].toLong());
                                    result.read.ms.push_back(figures[3].toDouble());
                                    result.finish.ms.push_back(figures[4].toDouble());
                                    return true;
                                }});
            }
            Interleave(runs, work);
            for (auto& [mode, result] : results) {
                const Timings& timings = result.time;
                if (result.wall.failed) {
                    std::printf("%-6s %-12s %-6s failed\n", qPrintable(input.name), format.name,
                                qPrintable(mode));
                    continue;
                }
                std::printf("%-6s %-12s %-6s %9.0f %9.0f %8.0f %9.0f %12lld %8.0f\n",
                            qPrintable(height < input.height ? input.name + u'*' : input.name),
                            format.name, qPrintable(mode), timings.Best(), timings.Median(),
                            result.read.Median(), result.finish.Median(), result.size,
                            result.peakKb / 1024.0);
            }
            std::fflush(stdout);
        }
    }
    return 0;
}
