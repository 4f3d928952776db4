#pragma once

// Small pieces the benchmarks share.

#include <QElapsedTimer>
#include <QString>
#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>

#include "core/catalog/Sinks.h"

namespace melodrix::bench {

// Answers every save question with one path and agrees to replace it.
class TFixedAnswer final : public IPromptSink {
public:
    explicit TFixedAnswer(QString path) : path_(std::move(path)) {}
    QString ChooseOpenFile(const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseSaveFile(const QString&, const QString&, const QString&) override {
        return path_;
    }
    void ShowMessage(const QString&, const QString& text, TMessageIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool AskYesNo(const QString&, const QString&, TMessageIcon) override { return true; }

private:
    QString path_;
};

using TClock = std::chrono::steady_clock;

// Seconds since `start`.
inline double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// Wall-clock seconds that `run` takes.
inline double Seconds(const std::function<void()>& run) {
    QElapsedTimer timer;
    timer.start();
    run();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace melodrix::bench
