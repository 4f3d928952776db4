#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace melodrix {

// Hands full buffers from one thread (the giver) to another (the taker) in order, and the
// emptied ones back, so that once both run neither allocates a buffer again. At most `most`
// buffers wait, which bounds the memory when one side is faster. T is a buffer with clear().
template <typename T>
class THandoff {
public:
    explicit THandoff(size_t most) : most_(most > 0 ? most : 1) {}
    THandoff(const THandoff&) = delete;
    THandoff& operator=(const THandoff&) = delete;

    // Giver: hands `full` over and leaves an empty buffer in its place, waiting while `most`
    // wait already. False, with `full` kept, once the taker has stopped.
    bool Give(T& full) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return waiting_.size() < most_ || stopped_; });
            if (stopped_) {
                return false;
            }
            waiting_.push_back(std::move(full));
            full = TakeSpare();
        }
        changed_.notify_all();
        return true;
    }

    // Giver: nothing more comes; the taker still gets what waits.
    void Close() {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }

    // Taker: puts the next buffer in `into`, whose old content is dropped and its room handed
    // back. False at the end: closed with nothing waiting, or stopped.
    bool Take(T& into) {
        return *TakeWhen(into, [this](std::unique_lock<std::mutex>& lock, auto ready) {
            changed_.wait(lock, ready);
            return true;
        });
    }

    // Taker: as Take, but nothing, with `into` empty, when no buffer came within `patience`.
    template <typename Duration>
    std::optional<bool> TakeWithin(T& into, Duration patience) {
        return TakeWhen(into, [this, patience](std::unique_lock<std::mutex>& lock, auto ready) {
            return changed_.wait_for(lock, patience, ready);
        });
    }

    // Either side: ends the handoff at once; what waits is dropped, and the other side's next
    // Give or Take returns false.
    void Stop() {
        {
            const std::lock_guard lock(mutex_);
            stopped_ = true;
            waiting_.clear();
        }
        changed_.notify_all();
    }

private:
    // `wait` waits on the lock until its condition holds, and tells whether it did.
    template <typename Wait>
    std::optional<bool> TakeWhen(T& into, Wait wait) {
        into.clear();
        {
            std::unique_lock lock(mutex_);
            spare_.push_back(std::move(into));
            into = T();
            if (!wait(lock, [this] { return !waiting_.empty() || closed_ || stopped_; })) {
                into = TakeSpare();  // the room it brought stays with the taker
                return std::nullopt;
            }
            if (stopped_ || waiting_.empty()) {
                return false;
            }
            into = std::move(waiting_.front());
            waiting_.pop_front();
        }
        changed_.notify_all();
        return true;
    }

    T TakeSpare() {
        if (spare_.empty()) {
            return T();
        }
        T spare = std::move(spare_.back());
        spare_.pop_back();
        return spare;
    }

    const size_t most_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> waiting_;
    std::vector<T> spare_;
    bool closed_ = false;
    bool stopped_ = false;
};

}  // namespace melodrix
