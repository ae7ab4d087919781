#pragma once
// The capture engine: loads a page (or takes the one already in its view), lets it settle,
// makes the view as tall as the picture asks, grabs and assembles the picture. It knows no
// window of the program; the window's Capture command and the command-line tool both drive
// it. Several engines may run at once in one process on one profile: Shoot never waits in
// a nested event loop, it moves on from callbacks and timers.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

class QWebEngineProfile;
class QWebEngineView;

struct ShotRequest {
    // The page to load; empty: the page already in the view, as it stands.
    QUrl address;
    // The viewport's width and one screen's height, in CSS pixels.
    int width = 1920;
    int screenHeight = 1080;
    // 0: the whole page; otherwise this many screens from the top (fractions allowed).
    double screens = 0;
    // Device pixel ratio of the picture: it is scale*width by scale*height pixels.
    double scale = 1.0;
    // The tallest picture, in device pixels; a taller page is cut there.
    int maxHeight = 100000;
    // The longest wait for the load and the settling of the page.
    std::chrono::milliseconds timeout{30000};
};

enum class ShotStatus {
    Ok,
    // The page did not load (or no page at all); no picture.
    LoadFailed,
    // The page did not settle in time; the picture shows it as it then stood.
    NotSettled,
    // The page is taller than maxHeight; the picture holds its top maxHeight pixels.
    CutAtMaxHeight,
    // A shot is already running on this engine; the request was ignored.
    Busy,
};

struct ShotResult {
    ShotStatus status = ShotStatus::Ok;
    // RGB32, white where the page painted nothing; null only when LoadFailed or Busy.
    QImage picture;
    // One line for the user when status is not Ok.
    QString detail;
};

class CaptureEngine : public QObject {
    Q_OBJECT
  public:
    // Owns a view of its own on `profile` (the default profile when null).
    explicit CaptureEngine(QWebEngineProfile* profile = nullptr, QObject* parent = nullptr);
    // Works on a view that someone else owns and places (the browser window's control);
    // the view has its size back after each shot.
    explicit CaptureEngine(QWebEngineView& view, QObject* parent = nullptr);
    ~CaptureEngine() override;

    // The view the page lives in; a window may host it as its browser control.
    QWebEngineView& View();

    // Asynchronous: returns at once, emits Progress zero or more times, then Finished once.
    void Shoot(const ShotRequest& request);
    bool Busy() const;

  Q_SIGNALS:
    void Progress(int screensDone, int screensTotal);
    void Finished(const ShotResult& result);

  private:
    struct Run;
    // Keeps the page to the program's rules and follows its renderer.
    void Watch();
    bool Current(int id) const;
    void After(int ms, void (CaptureEngine::*step)());
    void Script(const QString& script, std::function<void(const QVariant&)> then);
    // Asks `script` until it answers something true or `boundMs` ran out; `then` gets
    // the last answer.
    void PollScript(const QString& script, int boundMs, std::function<void(const QVariant&)> then);
    int RemainingMs() const;
    void Fail(ShotStatus status, const QString& detail);
    void Begin();
    void Prepare();
    QSize OneScreen() const;
    // The settle loops: at one screen, measured after; in the tall view, pinned first;
    // for a next part of a very tall page.
    enum class Loop { Measure, Pin, Part };
    // Runs `before` (a script, or nothing) and the loop, then `next` with what the loop
    // measured.
    void Settle(Loop loop, void (CaptureEngine::*next)(const QStringList&),
                const QString& before = QString());
    // Ends a loop out of time and hands `settled` its answer.
    void StopSettle(std::function<void(const QVariant&)> settled);
    void Measured(const QStringList& values);
    void SetTall(int tall);
    void Grow();
    void Grown(const QStringList& heights);
    void PartSettled(const QStringList&);
    QRgb MarkerPixel();
    QString NextMarker();
    void ShowFreshFrame();
    void GrabPart();
    void Restore();

    QPointer<QWebEngineView> view_;
    std::unique_ptr<QWebEngineView> ownView_;
    std::unique_ptr<Run> run_;
};
