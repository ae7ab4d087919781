#pragma once
// Runs the pages of one glimpa-shot command through capture engines that share one
// browser profile: loads, captures, writes each picture, and tells the user on standard
// error what went wrong or, on a terminal, how far it is.
#include <QElapsedTimer>
#include <QNetworkCookie>
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>
#include <vector>

#include "engine/capture_engine.h"
#include "formats/band_writer.h"
#include "formats/picture_file.h"
#include "shot/shot_exit.h"

class QWebEngineProfile;

struct ShotPage {
    QUrl address;
    QString output;  // "-": standard output
    PictureFormat format = PictureFormat::Png;
    ShotRequest request;  // everything for this page but the address
    JpegChoice jpeg;
    // The memory budget, not --max-height, bounds the picture's height.
    bool heightFromMemory = false;
};

// Whether the page's picture is written as it is taken, never whole in memory: a whole
// page (no element, no clip) to a file of a format written band by band.
bool WrittenAsTaken(const ShotPage& page);

// What holds for the whole run.
struct ShotSettings {
    int jobs = 1;
    bool showProgress = false;
    // The memory budget in MiB, told when it cut a picture.
    qint64 heightFromMemoryMiB = 0;
    // One JSON record a page on standard output.
    bool json = false;
    QString userAgent;
    // Cookies for every page; one without a domain is for each page's own host.
    std::vector<QNetworkCookie> cookies;
};

class ShotRunner : public QObject {
    Q_OBJECT
  public:
    ShotRunner(std::vector<ShotPage> pages, ShotSettings settings, QObject* parent = nullptr);
    ~ShotRunner() override;

    // Starts the first pages; Done follows once every page has ended.
    void Start();

  Q_SIGNALS:
    void Done(ShotExit status);

  private:
    struct Engine;
    void Dispatch();
    Engine* IdleEngine();
    void Captured(Engine& engine, const ShotResult& result);
    // The most rows the output's format holds at the view's width.
    qint64 FormatRows(size_t page) const;
    void PrintRecord(size_t page, ShotExit exit);
    void Written(size_t page, const ShotResult& report, const Outcome& written);
    void EndPage(size_t page, ShotExit exit);
    // Ends the page as not written, and why, its old file left as it was.
    void NotWritten(size_t page, const QString& why);
    // Says `line` about page `page`, kept for its record too.
    void SayFor(size_t page, const QString& line);
    void ShowProgress(size_t page, int done, int total);
    void Say(const QString& line);

    std::vector<ShotPage> pages_;
    ShotSettings settings_;
    std::unique_ptr<QWebEngineProfile> profile_;
    std::vector<std::unique_ptr<Engine>> engines_;
    std::vector<ShotExit> exits_;
    // What each page's JSON record tells beyond its exit.
    struct Record {
        QElapsedTimer clock;
        ShotResult result;  // without the picture
        QSize size;
        qint64 bytes = 0;
        QString message;
        // Where the picture goes as it is taken, when it does.
        std::shared_ptr<BandWriter> bands;
    };
    std::vector<Record> records_;
    size_t nextPage_ = 0;
    size_t ended_ = 0;
    int encoding_ = 0;  // pictures handed to the encoder and not yet written
    bool progressShown_ = false;
};
