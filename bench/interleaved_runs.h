#pragma once
// Timing for the benchmarks: every contender runs once per round, round after round, so
// that a passing load on the machine falls on all of them alike; best and median kept.
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

struct Timings {
    std::vector<double> ms;
    bool failed = false;
    double Best() const { return ms.empty() ? -1 : *std::min_element(ms.begin(), ms.end()); }
    double Median() const {
        if (ms.empty()) return -1;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

inline void Interleave(int runs,
                       const std::vector<std::pair<Timings*, std::function<bool()>>>& work) {
    for (int i = 0; i < runs; ++i)
        for (const auto& [timings, job] : work) {
            if (timings->failed) continue;
            QElapsedTimer timer;
            timer.start();
            if (!job()) {
                timings->failed = true;
                continue;
            }
            timings->ms.push_back(timer.nsecsElapsed() / 1e6);
        }
}

// Runs a reference tool to its end; whether it succeeded.
inline bool RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}
