#pragma once
// The command line of glimpa-shot read into plain values, every option checked before
// anything is loaded.
#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <utility>

#include "formats/picture_file.h"

// What the command is asked to do.
enum class ShotAction { Shoot, Help, Version };

struct ShotOptions {
    ShotAction action = ShotAction::Shoot;
    QString address;  // as given; AddressToUrl turns it into the page's address
    QString output;
    int width = 1920;
    int height = 1080;
    double screens = 0;  // 0: the whole page
    double scale = 1.0;
    int quality = 85;
    bool progressive = false;
    int maxHeight = 100000;
    double timeoutSeconds = 30;
    QString batchFile;        // empty: one page from ADDRESS and OUTPUT
    int jobs = 2;             // two pages at once keep both cores busy; more cost memory
    bool console = false;     // show what the pages write to their console
    qint64 maxMemoryMiB = 0;  // 0: half of the machine's memory
    int maxWidth = 0;         // CSS pixels; 0: as wide as a picture may be at the scale
    bool stillMotion = true;  // --animations still (or run)
    QString scrollElement;    // a selector; empty: guessed where the document does not scroll

    // What of the page: an element (with padding) or a rectangle, in CSS pixels.
    QString selector;
    int padding = 0;
    QRectF clip;
    // What the page is made to look like, and what runs in it first.
    QStringList hide;
    QStringList remove;
    QStringList styles;   // the style sheets' text (an @FILE read)
    QStringList scripts;  // the scripts' text (an @FILE read)
    QString waitFor;
    int delayMs = 0;
    // Who the browser says it is, and what it sends.
    QList<std::pair<QByteArray, QByteArray>> headers;
    QStringList cookies;  // NAME=VALUE, for the page's own host
    QString cookiesFile;
    QString userAgent;
    QString authUser;
    QString authPassword;
    QString colorScheme;  // "light", "dark", or empty: the browser's own
    bool reducedMotion = false;
    // The output's format when OUTPUT is "-" (standard output); else from its ending.
    QString format;
    bool json = false;
    bool qualityGiven = false;               // --quality given: WebP is then lossy
    QString pdfPage = QStringLiteral("a4");  // a4 or letter, for a PDF
    // --shard K/N: the batch's pages K, K+N, K+2N... (1-based); 1/1 is all of them.
    int shard = 1;
    int shards = 1;
};

// The format OUTPUT asks for: from --format for "-", else from its ending.
std::optional<PictureFormat> OutputFormat(const ShotOptions& options, const QString& output);

// Why an option given does nothing for `format` (--quality for a lossless one,
// --progressive for any but JPEG); empty when none.
QString UselessForFormat(const ShotOptions& options, PictureFormat format);

// The options of the command line with --batch, --jobs, --shard, --style and --script
// taken out: the defaults of every batch line, which may add options of its own. The
// run's style sheets and scripts, read once, go before each line's own.
QStringList PerPageArguments(const QStringList& arguments);

// Options, or the one-line reason the command line is not usable.
struct ParsedShotOptions {
    std::optional<ShotOptions> options;
    QString error;
};

// Reads the arguments after the program name. --help and --version win over
// everything else on the line.
ParsedShotOptions ParseShotOptions(const QStringList& arguments);

// A web address as people type it, with no scheme: "example.org", "127.0.0.1:8000/page",
// "localhost:3000"; https:// is added, http:// for localhost and IP addresses. Nothing
// for anything else (a name whose last label is a file's ending among them).
std::optional<QUrl> TypedAddress(const QString& address);

// The page's address for ADDRESS: an existing file (relative to `workingFolder`) as a
// file address; http, https and file addresses as they are; an address as people type
// it (TypedAddress); a path to a .htm, .html or .mht file as a file address. Nothing,
// with the reason in `error`, for anything else.
std::optional<QUrl> AddressToUrl(const QString& address, const QString& workingFolder,
                                 QString* error = nullptr);
