#pragma once

// What the monkey did lately, so a crash, a sanitizer report or a hang can be told with the
// seed, the step and the user's last actions.
#include <QByteArray>
#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>

namespace melodrix::testing {

class TMonkeyLog {
public:
    static constexpr int kKept = 40;

    unsigned seed = 0;
    int steps = 0;
    std::atomic<int> step{0};
    bool trace = false;  // print every action as it happens

    void Note(const QString& text) {
        QByteArray line = QStringLiteral("step %1: %2").arg(step.load()).arg(text).toUtf8();
        lines_[static_cast<size_t>(next_ % kKept)] = line;
        ++next_;
        if (trace) {
            std::fprintf(stderr, "monkey %6.2fs %s\n", (NowMs() - startMs_) / 1000.0,
                         line.constData());
        }
        Touch();
    }

    // The watchdog's sign of life.
    void Touch() { lastMs_.store(NowMs()); }
    int64_t MsSinceTouch() const { return NowMs() - lastMs_.load(); }

    // Plain stdio only: it also runs from the sanitizer's death callback.
    void Dump(const char* why) const {
        std::fprintf(stderr, "\nmonkey: %s at step %d of %d, seed %u\n", why, step.load(), steps,
                     seed);
        std::fprintf(stderr,
                     "monkey: repeat with MELODRIX_MONKEY_SEED=%u MELODRIX_MONKEY_STEPS=%d\n", seed,
                     steps);
        std::fprintf(stderr, "monkey: last actions:\n");
        const int first = next_ > kKept ? next_ - kKept : 0;
        for (int i = first; i < next_; ++i) {
            std::fprintf(stderr, "  %s\n", lines_[static_cast<size_t>(i % kKept)].constData());
        }
        std::fflush(stderr);
    }

private:
    static int64_t NowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::array<QByteArray, kKept> lines_;
    int next_ = 0;
    std::atomic<int64_t> lastMs_{NowMs()};
    int64_t startMs_ = NowMs();
};

}  // namespace melodrix::testing
