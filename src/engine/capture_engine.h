#pragma once
// The capture engine: loads a page (or takes the one already in its view), lets it settle,
// makes the view as tall as the picture asks, grabs and assembles the picture. It knows no
// window of the program; the window's Capture command and the command-line tool both drive
// it. Several engines may run at once in one process on one profile: Shoot never waits in
// a nested event loop, it moves on from callbacks and timers.
#include <QImage>
#include <QList>
#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class BandWriter;
class CapturePage;
class QWebEngineLoadingInfo;
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
    // The widest picture, in CSS pixels: a page wider than the view is taken whole up to
    // this width, and cut there. 0: the picture has the view's width, whatever the page's.
    int maxWidth = 0;
    // The most pixels the picture may hold (its format's bound), whatever width the page
    // is taken at; 0: bounded by maxHeight alone.
    qint64 maxPixels = 0;
    // The most pixels of a picture held whole in memory (the memory it may take); a
    // picture given to `bands` is not. 0: no bound of its own.
    qint64 maxPixelsHeld = 0;
    // Where a whole page's picture goes as its parts are taken, top to bottom, instead of
    // into the result: then it is never in memory at once. Not for a part of the page or
    // a print; a page that grows below rows already given is taken again, whole in
    // memory (ShotResult::streamed tells). The caller's, alive until Finished, and
    // finished by the caller.
    BandWriter* bands = nullptr;
    // The whole capture, the load included, ends within this time and a second.
    std::chrono::milliseconds timeout{30000};
    // Animations, transitions and videos held still (finite ones at their end, endless
    // ones at their start), so that a page gives the same picture every time.
    bool stillMotion = true;
    // The element whose content the picture holds where the document itself does not
    // scroll (a selector); empty: the element covering most of the view that scrolls.
    QString scrollElement;

    // What the picture holds of the page: the first element matching `selector`, its
    // border box grown by `padding` CSS pixels on each side; or `clip`, in CSS pixels of
    // the page. Either is cut to the page. Empty and null: the page.
    QString selector;
    int padding = 0;
    QRectF clip;
    // Elements not drawn but keeping their room, and elements taken out of the page.
    QStringList hide;
    QStringList remove;
    // Style sheets added to the page before it settles, and scripts run in the page's
    // own context after its load, before it settles (each the body of an async function:
    // a promise it returns is awaited).
    QStringList styles;
    QStringList scripts;
    // Headers sent with every request of the page.
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Waits, after the load, until an element matches this selector.
    QString waitFor;
    // An extra wait once the page settled.
    std::chrono::milliseconds delay{0};
    // Printed by the browser to a PDF of these pages instead of a picture (the picture's
    // sizes, parts and motion then do not apply).
    std::optional<QPageLayout> print;
    // The user name and password for HTTP authentication, given to the page's own host
    // only; empty: none.
    QString authUser;
    QString authPassword;
    // The page keeps the capture's changes, and the view the picture's size, after
    // Finished until GiveBack(): a caller with work of its own to do on the picture does
    // it before the browser lays the page out again beside it. A next shot gives the page
    // back first.
    bool giveBackLater = false;
};

enum class ShotStatus {
    Ok,
    // The page did not load (or no page at all); no picture.
    LoadFailed,
    // The page did not settle in time; the picture shows it as it then stood.
    NotSettled,
    // The page is taller than maxHeight; the picture holds its top maxHeight pixels.
    CutAtMaxHeight,
    // The page is wider than maxWidth; the picture holds its left maxWidth pixels.
    CutAtMaxWidth,
    // No element matches the selector asked for; no picture.
    NoMatch,
    // A shot is already running on this engine; the request was ignored.
    Busy,
};

struct ShotResult {
    ShotStatus status = ShotStatus::Ok;
    // RGB32, white where the page painted nothing; null only when LoadFailed or Busy.
    QImage picture;
    // One line for the user when status is not Ok.
    QString detail;
    // The server's answer when it was an error (400 and above) and the page it sent came
    // with it: 404 and "HTTP 404 Not Found". 0 otherwise.
    int httpStatus = 0;
    QString httpText;
    // Lines for the user that do not change the status: dialogs the page opened and how
    // they were answered, what could not be drawn.
    QStringList notes;
    // The PDF, when the page was printed; the picture is null then.
    QByteArray pdf;
    // Where the page ended up (after redirects) and its title.
    QUrl finalAddress;
    QString title;
    // Whether the page settled, and was cut, for the record.
    bool settled = true;
    bool cut = false;
    // The picture went to the request's bands, whole, and `picture` is null.
    bool streamed = false;
    // Why the bands could not take the picture; the shot then ended without one.
    QString bandsFailed;
    // The picture's size, whether in `picture` or given to the bands.
    QSize size;

    static ShotResult Of(ShotStatus status, QImage picture, QString detail) {
        ShotResult result;
        result.status = status;
        result.picture = std::move(picture);
        result.detail = std::move(detail);
        return result;
    }
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
    // The page as it was before the shot, the view at its size before: at Finished, or
    // when asked, for a shot that gives the page back later. Nothing when nothing is held.
    void GiveBack();

  Q_SIGNALS:
    void Progress(int screensDone, int screensTotal);
    void Finished(const ShotResult& result);

  private:
    // Our scripts run apart from the page's own, so neither can disturb the other's
    // names (QWebEngineScript::ApplicationWorld).
    static constexpr quint32 kOurWorld = 1;
    struct Run;
    // Keeps the page to the program's rules and follows its renderer.
    void Watch();
    bool Current(int id) const;
    void After(int ms, void (CaptureEngine::*step)());
    // Runs `script` in `world` (ours unless told), `then` gets its answer while the shot
    // is still this one.
    void Script(const QString& script, std::function<void(const QVariant&)> then,
                quint32 world = kOurWorld);
    // Asks `script` until it answers something true or `boundMs` ran out; `then` gets
    // the last answer.
    void PollScript(const QString& script, int boundMs, std::function<void(const QVariant&)> then,
                    quint32 world = kOurWorld);
    // Time left to wait for the page, and to the end of the whole capture.
    int RemainingMs() const;
    int EndMs() const;
    void Finish(ShotResult result);
    void Fail(ShotStatus status, const QString& detail);
    // Ends the shot without a picture: no memory for it, or the bands could not take it.
    void NoPicture();
    void Begin();
    void LoadingChanged(const QWebEngineLoadingInfo& info);
    // After the load: the user's scripts, one after the other, then the wait for an
    // element, then the capture.
    void Loaded();
    void RunScript(int index);
    void WaitFor();
    void Prepare();
    QSize OneScreen() const;
    // The view's device height for the tall view: the part, a gap and the marker's rows.
    int TallViewRows() const;
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
    // The element's box as ElementBox() answers it, grown by the padding; false (and the
    // shot failed) when there is none.
    bool FindRegion(const QString& box);
    // Takes the page down to the region's lower edge, `page` CSS pixels at most.
    void Framed(int page);
    // Whether the picture is the whole page, following it as it grows.
    bool Whole() const;
    void SetTall(int tall);
    // Prints the page, as it settled, to a PDF.
    void Print();
    void Grow();
    void Grown(const QStringList& heights);
    void PartSettled(const QStringList&);
    QRgb MarkerPixel();
    QString NextMarker();
    void ShowFreshFrame();
    void GrabPart();
    void NextPart();
    // After the last part: the page must still be laid out as it was when the first was
    // taken; a page that grew is taken further, one that moved is taken again.
    void CheckLayout();
    void Restore();

    QPointer<QWebEngineView> view_;
    // The view's page when it is ours (always, but for a view someone else made another).
    QPointer<CapturePage> page_;
    std::unique_ptr<QWebEngineView> ownView_;
    std::unique_ptr<Run> run_;
    // The view's size to give back with the page, while a finished shot holds it.
    std::optional<QSize> heldSize_;
};
