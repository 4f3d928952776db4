#include "core/catalogfile/BackgroundWriter.h"

#include "core/catalog/Errors.h"
#include "core/catalogfile/AtomicFile.h"

namespace melodrix {

TBackgroundWriter::TBackgroundWriter(QIODevice& device)
    : device_(device), thread_([this] { Run(); }) {}

TBackgroundWriter::~TBackgroundWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    changed_.notify_all();
    thread_.join();
}

void TBackgroundWriter::ThrowIfFailed() {
    if (error_) {
        throw TMelodrixError(*error_);
    }
}

void TBackgroundWriter::Write(std::string& piece) {
    if (piece.empty()) {
        return;
    }
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_.size() < kMostWaiting || error_; });
        ThrowIfFailed();
        const size_t room = piece.capacity();
        waiting_.push_back(std::move(piece));
        piece = std::string();
        if (!spare_.empty()) {
            piece = std::move(spare_.back());
            spare_.pop_back();
        } else {
            piece.reserve(room);
        }
    }
    changed_.notify_all();
}

void TBackgroundWriter::Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return (waiting_.empty() && !writing_) || error_; });
    ThrowIfFailed();
}

void TBackgroundWriter::Run() {
    for (;;) {
        std::string piece;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty()) {
                return;  // stopping, with nothing left
            }
            piece = std::move(waiting_.front());
            waiting_.pop_front();
            writing_ = true;
        }
        std::optional<QString> failure;
        try {
            WriteAll(device_, piece.data(), static_cast<qint64>(piece.size()));
        } catch (const TMelodrixError& error) {
            failure = error.Message();
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        }
        {
            const std::lock_guard lock(mutex_);
            writing_ = false;
            if (failure) {
                error_ = std::move(failure);
                waiting_.clear();  // nothing after a failed piece may reach the file
            }
            piece.clear();
            spare_.push_back(std::move(piece));
        }
        changed_.notify_all();
    }
}

}  // namespace melodrix
