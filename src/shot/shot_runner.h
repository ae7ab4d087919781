#pragma once
// Runs the pages of one glimpa-shot command through capture engines that share one
// browser profile: loads, captures, writes each picture, and tells the user on standard
// error what went wrong or, on a terminal, how far it is.
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>
#include <vector>

#include "engine/capture_engine.h"
#include "formats/picture_file.h"
#include "shot/shot_exit.h"

class QWebEngineProfile;

struct ShotPage {
    QUrl address;
    QString output;
};

struct ShotSettings {
    ShotRequest request;  // everything but the address, for every page
    JpegChoice jpeg;
    int jobs = 1;
    bool showProgress = false;
    // The memory budget in MiB when it, not --max-height, set request.maxHeight.
    qint64 heightFromMemoryMiB = 0;
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
    // The most rows the output's format holds at the widest picture of the run.
    qint64 FormatRows(const QString& output) const;
    void Written(size_t page, const ShotResult& report, const Outcome& written);
    void EndPage(size_t page, ShotExit exit);
    void ShowProgress(size_t page, int done, int total);
    void Say(const QString& line);

    std::vector<ShotPage> pages_;
    ShotSettings settings_;
    std::unique_ptr<QWebEngineProfile> profile_;
    std::vector<std::unique_ptr<Engine>> engines_;
    std::vector<ShotExit> exits_;
    size_t nextPage_ = 0;
    size_t ended_ = 0;
    int encoding_ = 0;  // pictures handed to the encoder and not yet written
    bool progressShown_ = false;
};
