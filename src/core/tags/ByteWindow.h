#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/tags/ByteSource.h"

namespace melodrix {

// Serves the small reads of a tag walk from one buffered stretch of a byte source, so that a tag
// of many frames costs a few positioned reads instead of one per frame header.
class TByteWindow {
public:
    // `limit` is the end of the bytes that may be read; nothing at or after it is ever asked of
    // the source, so a window over a tag never reads the audio behind it.
    TByteWindow(IByteSource& source, uint64_t limit, size_t chunk = 4096)
        : source_(source), limit_(limit), chunk_(chunk) {}

    // The `size` bytes at `offset`, valid until the next call; nullptr when they reach past the
    // limit or cannot be read.
    const uint8_t* Get(uint64_t offset, size_t size);

    uint64_t Limit() const { return limit_; }

private:
    IByteSource& source_;
    uint64_t limit_;
    size_t chunk_;
    uint64_t start_ = 0;
    std::vector<uint8_t> buffer_;
};

}  // namespace melodrix
