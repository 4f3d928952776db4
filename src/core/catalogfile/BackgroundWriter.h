#pragma once

#include <QIODevice>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace melodrix {

// Writes large pieces of a file on a thread of its own, so that copying one piece into the
// system's cache overlaps with making the next; a big save or export then costs little more
// than making its text. The pieces reach the device whole and in order. Only this writer
// touches the device until Finish returns.
class TBackgroundWriter {
public:
    explicit TBackgroundWriter(QIODevice& device);
    // Pieces not yet written are dropped: without Finish the file is incomplete anyway.
    ~TBackgroundWriter();
    TBackgroundWriter(const TBackgroundWriter&) = delete;
    TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

    // Takes the bytes of `piece` to be written and leaves an empty buffer in its place, one
    // that has held as much before. Waits while two pieces are still waiting. Throws
    // TMelodrixError when an earlier piece could not be written, so that the caller stops.
    void Write(std::string& piece);
    // Returns once every piece is on the device; throws the first write error.
    void Finish();

private:
    static constexpr size_t kMostWaiting = 2;

    void Run();
    void ThrowIfFailed();  // with mutex_ held

    QIODevice& device_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> waiting_;
    std::vector<std::string> spare_;  // written pieces, kept for their room
    std::optional<QString> error_;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything it reads is built
};

}  // namespace melodrix
