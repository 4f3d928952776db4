#pragma once

#include <QFile>
#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>

#include "core/base/Handoff.h"

namespace melodrix {

// Reads from `file` until `room` bytes are read or the file ends; the bytes read. `failed`
// tells whether it ended by a read error.
size_t ReadFileInto(QFile& file, char* to, size_t room, bool& failed);

// Reads the rest of an open file on a thread of its own, a few pieces ahead of the one taken,
// so that the system's copy of the bytes overlaps with reading what came before. Only this
// reader touches the file until it is destroyed.
class TReadAhead {
public:
    TReadAhead(QFile& file, size_t pieceBytes);
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // Copies the next bytes of the file to `to`, up to `room`; fewer only at the end of the
    // file or when it cannot be read, which Failed then tells.
    size_t Read(char* to, size_t room);
    bool Failed() const { return failed_; }

private:
    // Bytes read from the file; the room stays when the piece is handed back.
    struct TPiece {
        std::unique_ptr<char[]> bytes;
        size_t size = 0;
        void clear() { size = 0; }
    };

    void Run();

    QFile& file_;
    const size_t pieceBytes_;
    THandoff<TPiece> pieces_{4};
    TPiece current_;
    size_t taken_ = 0;  // bytes of current_ already copied out
    std::atomic<bool> failed_ = false;
    std::thread thread_;  // last: starts once everything it reads is built
};

}  // namespace melodrix
