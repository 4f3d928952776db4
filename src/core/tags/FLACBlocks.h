#pragma once

#include <cstdint>
#include <optional>

#include "core/tags/ByteSource.h"
#include "core/tags/ByteWindow.h"

namespace melodrix {

// One metadata block of a FLAC stream: its type and where its body lies.
struct TFLACBlock {
    uint8_t Type = 0;
    bool Last = false;
    uint64_t Start = 0;  // of the body, after the 4-byte header
    uint32_t Size = 0;
};

inline constexpr uint8_t kFLACStreamInfo = 0, kFLACComment = 4;
inline constexpr uint32_t kFLACStreamInfoSize = 34;

// Walks the metadata block headers that follow "fLaC", through one buffered window, so that
// many small blocks cost a few reads, and no further than a fixed number of blocks, so that a
// file of "fLaC" and zeros (empty blocks that never end) is given up on at once.
class TFLACBlocks {
public:
    // `first` is the offset of the first block header, just after "fLaC".
    TFLACBlocks(IByteSource& source, uint64_t first, uint64_t fileSize)
        : window_(source, fileSize), position_(first) {}

    // The next block; nothing after the last one, or when the metadata is broken: it ends
    // before its last block, a block is of the invalid type 127, reaches past the file, or is
    // one too many. Broken() tells these apart.
    std::optional<TFLACBlock> Next();
    bool Broken() const { return broken_; }
    // Where the audio frames begin, once the last block has been walked past.
    uint64_t End() const { return position_; }
    // The first `size` bytes of a block that has been returned, for small ones such as
    // STREAMINFO; valid until the next call; nullptr when they cannot be read.
    const uint8_t* Body(const TFLACBlock& block, uint32_t size) {
        return size <= block.Size ? window_.Get(block.Start, size) : nullptr;
    }

private:
    TByteWindow window_;
    uint64_t position_;
    int count_ = 0;
    bool done_ = false;
    bool broken_ = false;
};

}  // namespace melodrix
