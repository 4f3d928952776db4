#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
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
        into.clear();
        {
            std::unique_lock lock(mutex_);
            spare_.push_back(std::move(into));
            into = T();
            changed_.wait(lock, [this] { return !waiting_.empty() || closed_ || stopped_; });
            if (stopped_ || waiting_.empty()) {
                return false;
            }
            into = std::move(waiting_.front());
            waiting_.pop_front();
        }
        changed_.notify_all();
        return true;
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
