#pragma once

#include <QIODevice>
#include <QString>
#include <optional>
#include <string>
#include <thread>

#include "core/base/Handoff.h"

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
    // Returns once every piece is on the device; throws the first write error. Nothing may
    // be written after it.
    void Finish();

private:
    void Run();
    void ThrowIfFailed() const;

    QIODevice& device_;
    THandoff<std::string> pieces_{2};
    std::optional<QString> error_;  // set by the thread before it stops the handoff
    std::thread thread_;            // last: starts once everything it reads is built
};

}  // namespace melodrix
