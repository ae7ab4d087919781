#include "shot/shot_options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

#include "shot/memory_budget.h"
#include "shot/option_values.h"
#include "shot/workflow_options.h"

namespace {

// Limits: the browser will not lay out a view outside these sizes sensibly, and no
// machine holds a picture much beyond a million rows at desktop width.
constexpr int kMinViewport = 16;
constexpr int kMaxViewport = 16384;
constexpr double kMinScale = 0.25;
constexpr double kMaxScale = 5;
constexpr int kMaxPictureHeight = 1000000;
constexpr double kMaxScreens = 100000;
constexpr double kMaxTimeoutSeconds = 86400;
constexpr int kMaxJobs = 16;
constexpr int kMinMemoryMiB = 64;
constexpr int kMaxMemoryMiB = 1 << 24;

}  // namespace

ParsedShotOptions ParseShotOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption width(QStringLiteral("width"), {}, QStringLiteral("PX"));
    const QCommandLineOption height(QStringLiteral("height"), {}, QStringLiteral("PX"));
    const QCommandLineOption screens(QStringLiteral("screens"), {}, QStringLiteral("N"));
    const QCommandLineOption scale(QStringLiteral("scale"), {}, QStringLiteral("F"));
    const QCommandLineOption quality(QStringLiteral("quality"), {}, QStringLiteral("Q"));
    const QCommandLineOption progressive(QStringLiteral("progressive"));
    const QCommandLineOption maxHeight(QStringLiteral("max-height"), {}, QStringLiteral("PX"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), {}, QStringLiteral("S"));
    const QCommandLineOption batch(QStringLiteral("batch"), {}, QStringLiteral("FILE"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), {}, QStringLiteral("N"));
    const QCommandLineOption console(QStringLiteral("console"));
    const QCommandLineOption maxMemory(QStringLiteral("max-memory"), {}, QStringLiteral("MIB"));
    const QCommandLineOption maxWidth(QStringLiteral("max-width"), {}, QStringLiteral("PX"));
    const QCommandLineOption animations(QStringLiteral("animations"), {}, QStringLiteral("HOW"));
    const QCommandLineOption scrollElement(QStringLiteral("scroll-element"), {},
                                           QStringLiteral("SELECTOR"));
    parser.addOptions({help, version, width, height, screens, scale, quality, progressive,
                       maxHeight, timeout, batch, jobs, console, maxMemory, maxWidth, animations,
                       scrollElement});
    const auto valued = [](const char* name, const char* value) {
        return QCommandLineOption(QLatin1String(name), {}, QLatin1String(value));
    };
    const WorkflowOptions workflow{valued("selector", "CSS"),
                                   valued("padding", "PX"),
                                   valued("clip", "X,Y,W,H"),
                                   valued("hide", "CSS"),
                                   valued("remove", "CSS"),
                                   valued("style", "CSS"),
                                   valued("script", "JS"),
                                   valued("wait-for", "CSS"),
                                   valued("delay", "MS"),
                                   valued("header", "HEADER"),
                                   valued("cookie", "NAME=VALUE"),
                                   valued("cookies", "FILE"),
                                   valued("user-agent", "TEXT"),
                                   valued("auth", "USER:PASS"),
                                   valued("color-scheme", "SCHEME"),
                                   QCommandLineOption(QStringLiteral("reduced-motion")),
                                   valued("format", "FORMAT"),
                                   QCommandLineOption(QStringLiteral("json")),
                                   valued("shard", "K/N"),
                                   valued("pdf-page", "SIZE")};
    workflow.AddTo(parser);

    // The parser takes the first entry as the program's name.
    if (!parser.parse(QStringList{QStringLiteral("glimpa-shot")} + arguments))
        return {std::nullopt, parser.errorText()};

    ShotOptions o;
    if (parser.isSet(help)) {
        o.action = ShotAction::Help;
        return {o, {}};
    }
    if (parser.isSet(version)) {
        o.action = ShotAction::Version;
        return {o, {}};
    }

    const QString pixels = QStringLiteral("a whole number of pixels from %1 to %2");
    if (parser.isSet(width)) {
        const auto v = WholeIn(parser.value(width), kMinViewport, kMaxViewport);
        if (!v)
            return {std::nullopt, Bad(QStringLiteral("width"), parser.value(width),
                                      pixels.arg(kMinViewport).arg(kMaxViewport))};
        o.width = *v;
    }
    if (parser.isSet(height)) {
        const auto v = WholeIn(parser.value(height), kMinViewport, kMaxViewport);
        if (!v)
            return {std::nullopt, Bad(QStringLiteral("height"), parser.value(height),
                                      pixels.arg(kMinViewport).arg(kMaxViewport))};
        o.height = *v;
    }
    if (parser.isSet(screens)) {
        const auto v = NumberIn(parser.value(screens), 0, false, kMaxScreens);
        if (!v)
            return {
                std::nullopt,
                Bad(QStringLiteral("screens"), parser.value(screens),
                    QStringLiteral("a number of screens above 0 and up to %1").arg(kMaxScreens))};
        o.screens = *v;
    }
    if (parser.isSet(scale)) {
        const auto v = NumberIn(parser.value(scale), kMinScale, true, kMaxScale);
        if (!v)
            return {
                std::nullopt,
                Bad(QStringLiteral("scale"), parser.value(scale),
                    QStringLiteral("a pixel ratio from %1 to %2").arg(kMinScale).arg(kMaxScale))};
        o.scale = *v;
    }
    o.qualityGiven = parser.isSet(quality);
    if (parser.isSet(quality)) {
        const auto v = WholeIn(parser.value(quality), 1, 100);
        if (!v)
            return {std::nullopt, Bad(QStringLiteral("quality"), parser.value(quality),
                                      QStringLiteral("a whole number from 1 to 100"))};
        o.quality = *v;
    }
    o.progressive = parser.isSet(progressive);
    o.console = parser.isSet(console);
    if (parser.isSet(maxMemory)) {
        const auto v = WholeIn(parser.value(maxMemory), kMinMemoryMiB, kMaxMemoryMiB);
        if (!v)
            return {std::nullopt, Bad(QStringLiteral("max-memory"), parser.value(maxMemory),
                                      QStringLiteral("a whole number of MiB from %1 to %2")
                                          .arg(kMinMemoryMiB)
                                          .arg(kMaxMemoryMiB))};
        o.maxMemoryMiB = *v;
    }
    // The picture's width is known before anything is loaded.
    if (const double wide = std::ceil(o.width * o.scale); wide > kWidestPicture)
        return {std::nullopt,
                QStringLiteral("--width %1 at --scale %2 makes a picture %3 pixels wide; at "
                               "most %4 fit")
                    .arg(o.width)
                    .arg(o.scale)
                    .arg(wide)
                    .arg(kWidestPicture)};
    if (parser.isSet(maxWidth)) {
        const int widest = static_cast<int>(kWidestPicture / o.scale);
        const auto v = WholeIn(parser.value(maxWidth), o.width, widest);
        if (!v)
            return {std::nullopt,
                    Bad(QStringLiteral("max-width"), parser.value(maxWidth),
                        QStringLiteral("a width in CSS pixels from --width (%1) to %2, the "
                                       "widest picture at --scale %3")
                            .arg(o.width)
                            .arg(widest)
                            .arg(o.scale))};
        o.maxWidth = *v;
    }
    if (parser.isSet(animations)) {
        const QString how = parser.value(animations);
        if (how != u"still" && how != u"run")
            return {std::nullopt,
                    Bad(QStringLiteral("animations"), how, QStringLiteral("'still' or 'run'"))};
        o.stillMotion = how == u"still";
    }
    if (parser.isSet(scrollElement)) {
        o.scrollElement = parser.value(scrollElement).trimmed();
        if (o.scrollElement.isEmpty())
            return {std::nullopt, QStringLiteral("--scroll-element: no selector given")};
    }
    if (parser.isSet(maxHeight)) {
        const auto v = WholeIn(parser.value(maxHeight), 1, kMaxPictureHeight);
        if (!v)
            return {std::nullopt, Bad(QStringLiteral("max-height"), parser.value(maxHeight),
                                      pixels.arg(1).arg(kMaxPictureHeight))};
        o.maxHeight = *v;
    }
    if (parser.isSet(timeout)) {
        const auto v = NumberIn(parser.value(timeout), 0, false, kMaxTimeoutSeconds);
        if (!v)
            return {std::nullopt, Bad(QStringLiteral("timeout"), parser.value(timeout),
                                      QStringLiteral("a number of seconds above 0 and up to %1")
                                          .arg(kMaxTimeoutSeconds))};
        o.timeoutSeconds = *v;
    }
    if (parser.isSet(jobs)) {
        if (!parser.isSet(batch))
            return {std::nullopt, QStringLiteral("--jobs: only a batch runs pages at once")};
        const auto v = WholeIn(parser.value(jobs), 1, kMaxJobs);
        if (!v)
            return {std::nullopt, Bad(QStringLiteral("jobs"), parser.value(jobs),
                                      QStringLiteral("a whole number from 1 to %1").arg(kMaxJobs))};
        o.jobs = *v;
    }

    if (const QString error = workflow.Read(parser, o); !error.isEmpty())
        return {std::nullopt, error};
    if (!o.selector.isEmpty() && !o.clip.isNull())
        return {std::nullopt, QStringLiteral("--selector and --clip: one part of the page only")};
    if ((!o.selector.isEmpty() || !o.clip.isNull()) && o.screens > 0)
        return {std::nullopt,
                QStringLiteral("--screens with --selector or --clip: the part asked for "
                               "decides the height")};
    if (o.padding > 0 && o.selector.isEmpty())
        return {std::nullopt, QStringLiteral("--padding: only a --selector has padding")};

    const QStringList positional = parser.positionalArguments();
    if (o.shards > 1 && !parser.isSet(batch))
        return {std::nullopt, QStringLiteral("--shard: only a batch is split")};
    if (parser.isSet(batch)) {
        o.batchFile = parser.value(batch);
        if (o.batchFile.isEmpty()) return {std::nullopt, QStringLiteral("--batch: no file named")};
        if (!positional.isEmpty())
            return {std::nullopt,
                    QStringLiteral("with --batch, addresses and outputs come from the file, "
                                   "not the command line")};
        return {o, {}};
    }
    if (positional.size() < 2)
        return {std::nullopt, positional.isEmpty() ? QStringLiteral("ADDRESS and OUTPUT missing")
                                                   : QStringLiteral("OUTPUT missing")};
    if (positional.size() > 2)
        return {std::nullopt,
                QStringLiteral("one ADDRESS and one OUTPUT only; '%1' is one too many")
                    .arg(positional.at(2))};
    o.address = positional.at(0);
    o.output = positional.at(1);
    QString error;
    if (!AddressToUrl(o.address, QDir::currentPath(), &error)) return {std::nullopt, error};
    if (o.output == u"-" && o.format.isEmpty())
        return {std::nullopt, QStringLiteral("OUTPUT '-' (standard output) needs --format")};
    if (o.output != u"-" && !o.format.isEmpty())
        return {std::nullopt, QStringLiteral("--format: only for OUTPUT '-'; a file's ending "
                                             "picks its format")};
    if (o.output == u"-" && o.json)
        return {std::nullopt, QStringLiteral("--json and OUTPUT '-': both would go to standard "
                                             "output")};
    const std::optional<PictureFormat> kind = OutputFormat(o, o.output);
    if (!kind && o.output == u"-")
        return {std::nullopt, Bad(QStringLiteral("format"), o.format,
                                  QStringLiteral("bmp, jpg, jpeg, gif, png, webp, avif or pdf"))};
    if (!kind)
        return {std::nullopt, QStringLiteral("OUTPUT '%1' does not end in .bmp, .jpg, .jpeg, "
                                             ".gif, .png, .webp, .avif or .pdf")
                                  .arg(o.output)};
    if (const QString useless = UselessForFormat(o, *kind); !useless.isEmpty())
        return {std::nullopt, useless};
    return {o, {}};
}

std::optional<PictureFormat> OutputFormat(const ShotOptions& options, const QString& output) {
    if (output == u"-") return PictureFormatForPath(QStringLiteral("x.") + options.format);
    return PictureFormatForPath(output);
}

QString UselessForFormat(const ShotOptions& o, PictureFormat format) {
    if (o.qualityGiven && format != PictureFormat::Jpeg && format != PictureFormat::Webp &&
        format != PictureFormat::Avif)
        return QStringLiteral("--quality: a %1 picture has no quality to choose")
            .arg(PictureFormatName(format));
    if (o.progressive && format != PictureFormat::Jpeg)
        return QStringLiteral("--progressive: only a JPEG picture is progressive");
    if (const double wide = std::ceil(o.width * o.scale); wide > MostPictureColumns(format))
        return QStringLiteral(
                   "--width %1 at --scale %2 makes a picture %3 pixels wide; a %4 "
                   "picture holds at most %5")
            .arg(o.width)
            .arg(o.scale)
            .arg(wide)
            .arg(PictureFormatName(format))
            .arg(MostPictureColumns(format));
    // A PDF is the whole page, printed in pages.
    if (format == PictureFormat::Pdf &&
        (!o.selector.isEmpty() || !o.clip.isNull() || o.screens > 0))
        return QStringLiteral("--selector, --clip and --screens: a PDF holds the whole page");
    if (format != PictureFormat::Pdf && o.pdfPage != u"a4")
        return QStringLiteral("--pdf-page: only a PDF has pages");
    return {};
}

std::optional<QUrl> TypedAddress(const QString& address) {
    // localhost, an IPv4 or bracketed IPv6 address, or a name of dotted labels whose
    // last is no file's ending; an optional port; then a path, query or fragment.
    static const QRegularExpression typed(
        QStringLiteral("^(localhost|\\d{1,3}(?:\\.\\d{1,3}){3}|\\[[0-9A-Fa-f:.]+\\]|"
                       "(?:[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?\\.)+([A-Za-z][A-Za-z0-9-]*))"
                       "(:\\d{1,5})?([/?#].*)?$"));
    static const QStringList kFileEndings{
        QStringLiteral("htm"),   QStringLiteral("html"), QStringLiteral("mht"),
        QStringLiteral("mhtml"), QStringLiteral("txt"),  QStringLiteral("png"),
        QStringLiteral("jpg"),   QStringLiteral("jpeg"), QStringLiteral("gif"),
        QStringLiteral("bmp"),   QStringLiteral("webp"), QStringLiteral("avif"),
        QStringLiteral("pdf"),   QStringLiteral("svg"),  QStringLiteral("xml"),
        QStringLiteral("json"),  QStringLiteral("md")};
    const QRegularExpressionMatch m = typed.match(address);
    if (!m.hasMatch()) return std::nullopt;
    const QString last = m.captured(2).toLower();
    if (!last.isEmpty() && kFileEndings.contains(last)) return std::nullopt;
    // A machine of one's own is reached over plain HTTP, the web over HTTPS.
    const bool local = last.isEmpty();
    const QUrl url((local ? QStringLiteral("http://") : QStringLiteral("https://")) + address,
                   QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
    return url;
}

std::optional<QUrl> AddressToUrl(const QString& address, const QString& workingFolder,
                                 QString* error) {
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch match = scheme.match(address);
    const auto fail = [&](const QString& why) -> std::optional<QUrl> {
        if (error) *error = why;
        return std::nullopt;
    };
    // An existing file stays a file, whatever it is named.
    if (!address.isEmpty() && !address.contains(QLatin1String("://")) &&
        QFileInfo(QDir(workingFolder).absoluteFilePath(address)).isFile())
        return QUrl::fromLocalFile(QDir::cleanPath(QDir(workingFolder).absoluteFilePath(address)));
    // An address as people type it: a host, perhaps a port and a path, no scheme.
    if (const std::optional<QUrl> typed = TypedAddress(address)) return typed;
    if (match.hasMatch()) {
        const QString name = match.captured(1).toLower();
        const QUrl url(address, QUrl::TolerantMode);
        if (name != u"http" && name != u"https" && name != u"file")
            return fail(QStringLiteral("ADDRESS '%1': only http, https and file addresses "
                                       "can be captured")
                            .arg(address));
        if (!url.isValid() || (name != u"file" && url.host().isEmpty()) ||
            (name == u"file" && url.path().isEmpty()))
            return fail(QStringLiteral("ADDRESS '%1' is not a usable address").arg(address));
        return url;
    }
    const QString lower = address.toLower();
    if (!lower.endsWith(u".htm") && !lower.endsWith(u".html") && !lower.endsWith(u".mht"))
        return fail(QStringLiteral("ADDRESS '%1' is neither an http(s) or file address nor a "
                                   ".htm, .html or .mht file")
                        .arg(address));
    return QUrl::fromLocalFile(QDir::cleanPath(QDir(workingFolder).absoluteFilePath(address)));
}

QStringList PerPageArguments(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        // "--batch FILE", "--batch=FILE", and the same for --jobs, with one dash or two.
        // Only an option is looked at, never a value ("--hide .jobs").
        if (!a.startsWith(u'-')) {
            kept << a;
            continue;
        }
        const QString bare = a.startsWith(QLatin1String("--")) ? a.mid(2) : a.mid(1);
        // The style sheets and scripts are read once, for the run: the caller adds them.
        if (bare == u"batch" || bare == u"jobs" || bare == u"shard" || bare == u"style" ||
            bare == u"script") {
            ++i;
            continue;
        }
        if (bare.startsWith(QLatin1String("batch=")) || bare.startsWith(QLatin1String("jobs=")) ||
            bare.startsWith(QLatin1String("shard=")) || bare.startsWith(QLatin1String("style=")) ||
            bare.startsWith(QLatin1String("script=")))
            continue;
        kept << a;
    }
    return kept;
}
