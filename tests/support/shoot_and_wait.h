#pragma once
// Runs one shot of `engine` to its end, the event loop going meanwhile: the engine's
// result, or Busy with "no answer" when none came within two minutes.
#include <QSignalSpy>

#include "engine/capture_engine.h"

inline ShotResult ShootAndWait(CaptureEngine& engine, const ShotRequest& request) {
    ShotResult result = ShotResult::Of(ShotStatus::Busy, {}, QStringLiteral("no answer"));
    QSignalSpy finished(&engine, &CaptureEngine::Finished);
    // Connected for this shot only: a later shot of the same engine never writes into
    // the result given back here.
    const QMetaObject::Connection told = QObject::connect(
        &engine, &CaptureEngine::Finished, &engine, [&](const ShotResult& r) { result = r; });
    engine.Shoot(request);
    finished.wait(120000);
    QObject::disconnect(told);
    return result;
}
