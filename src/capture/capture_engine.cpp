#include "capture/capture_engine.h"

#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

struct CaptureEngine::Run {
    ShotRequest request;
};

CaptureEngine::CaptureEngine(QWebEngineProfile* profile, QObject* parent)
    : QObject(parent), ownView_(std::make_unique<QWebEngineView>()) {
    if (profile) ownView_->setPage(new QWebEnginePage(profile, ownView_.get()));
    view_ = ownView_.get();
}

CaptureEngine::CaptureEngine(QWebEngineView& view, QObject* parent)
    : QObject(parent), view_(&view) {}

CaptureEngine::~CaptureEngine() = default;

QWebEngineView& CaptureEngine::View() {
    return *view_;
}

bool CaptureEngine::Busy() const {
    return run_ != nullptr;
}

void CaptureEngine::Shoot(const ShotRequest& request) {
    if (run_) {
        QTimer::singleShot(0, this, [this] {
            Q_EMIT Finished({ShotStatus::Busy, {}, tr("A capture is already running.")});
        });
        return;
    }
    run_ = std::make_unique<Run>(Run{request});
    QTimer::singleShot(0, this, [this] {
        run_.reset();
        Q_EMIT Finished({ShotStatus::LoadFailed, {}, tr("Not built yet.")});
    });
}
