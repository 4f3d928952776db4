#include "core/base/ReadAhead.h"

#include <algorithm>
#include <cstring>

namespace melodrix {

size_t ReadFileInto(QFile& file, char* to, size_t room, bool& failed) {
    failed = false;
    size_t taken = 0;
    while (taken < room) {
        const qint64 got = file.read(to + taken, static_cast<qint64>(room - taken));
        if (got <= 0) {
            failed = got < 0 || file.error() != QFileDevice::NoError;
            break;
        }
        taken += static_cast<size_t>(got);
    }
    return taken;
}

TReadAhead::TReadAhead(QFile& file, size_t pieceBytes)
    : file_(file), pieceBytes_(std::max<size_t>(pieceBytes, 1)), thread_([this] { Run(); }) {}

TReadAhead::~TReadAhead() {
    pieces_.Stop();
    thread_.join();
}

size_t TReadAhead::Read(char* to, size_t room) {
    size_t copied = 0;
    while (copied < room) {
        if (taken_ == current_.size) {
            taken_ = 0;
            if (!pieces_.Take(current_)) {
                break;
            }
        }
        const size_t count = std::min(room - copied, current_.size - taken_);
        std::memcpy(to + copied, current_.bytes.get() + taken_, count);
        taken_ += count;
        copied += count;
    }
    return copied;
}

void TReadAhead::Run() {
    TPiece piece;
    for (;;) {
        if (!piece.bytes) {
            piece.bytes = std::make_unique_for_overwrite<char[]>(pieceBytes_);
        }
        bool failed = false;
        piece.size = ReadFileInto(file_, piece.bytes.get(), pieceBytes_, failed);
        failed_ = failed;
        const bool end = piece.size < pieceBytes_;
        if ((piece.size > 0 && !pieces_.Give(piece)) || end) {
            break;
        }
    }
    pieces_.Close();
}

}  // namespace melodrix
