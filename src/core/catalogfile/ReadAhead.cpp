#include "core/catalogfile/ReadAhead.h"

#include <algorithm>
#include <cstring>

namespace melodrix {

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
        bool end = false;
        while (piece.size < pieceBytes_) {
            const qint64 got = file_.read(piece.bytes.get() + piece.size,
                                          static_cast<qint64>(pieceBytes_ - piece.size));
            if (got <= 0) {
                failed_ = got < 0 || file_.error() != QFileDevice::NoError;
                end = true;
                break;
            }
            piece.size += static_cast<size_t>(got);
        }
        if ((piece.size > 0 && !pieces_.Give(piece)) || end) {
            break;
        }
    }
    pieces_.Close();
}

}  // namespace melodrix
