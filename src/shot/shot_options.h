#pragma once
// The command line of glimpa-shot read into plain values, every option checked before
// anything is loaded.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

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
};

// Options, or the one-line reason the command line is not usable.
struct ParsedShotOptions {
    std::optional<ShotOptions> options;
    QString error;
};

// Reads the arguments after the program name. --help and --version win over
// everything else on the line.
ParsedShotOptions ParseShotOptions(const QStringList& arguments);

// The page's address for ADDRESS: http, https and file addresses as they are, a path
// to a .htm, .html or .mht file (relative to `workingFolder`) as a file address.
// Nothing, with the reason in `error`, for anything else.
std::optional<QUrl> AddressToUrl(const QString& address, const QString& workingFolder,
                                 QString* error = nullptr);
