#include "core/tags/FLACTag.h"

#include <cstring>
#include <vector>

#include "core/tags/ID3v2Numbers.h"
#include "core/tags/VorbisComments.h"

namespace melodrix {
namespace {

constexpr uint64_t kBlockHeaderSize = 4;
constexpr uint8_t kLastBlock = 0x80;
constexpr uint8_t kCommentBlock = 4;
constexpr uint8_t kInvalidBlock = 127;

}  // namespace

std::optional<uint64_t> StreamStartAfterID3v2(IByteSource& source, uint64_t fileSize) {
    uint8_t header[10];
    if (fileSize < sizeof header) {
        return 0;
    }
    if (!source.ReadAt(0, header, sizeof header)) {
        return std::nullopt;
    }
    if (std::memcmp(header, "ID3", 3) != 0) {
        return 0;
    }
    const bool footer = (header[5] & 0x10) != 0;
    return 10ull + SynchsafeValue(header + 6, 4) + (footer ? 10 : 0);
}

bool TFLACTag::ReadTag(IByteSource& source) {
    const std::optional<uint64_t> fileSize = source.Size();
    if (!fileSize) {
        return false;
    }
    const std::optional<uint64_t> start = StreamStartAfterID3v2(source, *fileSize);
    if (!start) {
        return false;
    }
    uint8_t marker[4];
    if (*start > *fileSize || *fileSize - *start < sizeof marker ||
        !source.ReadAt(*start, marker, sizeof marker) || std::memcmp(marker, "fLaC", 4) != 0) {
        return true;  // no FLAC stream, so no comments to take
    }
    uint64_t position = *start + sizeof marker;
    std::vector<uint8_t> block;
    while (true) {
        uint8_t header[kBlockHeaderSize];
        if (*fileSize - position < kBlockHeaderSize ||
            !source.ReadAt(position, header, kBlockHeaderSize)) {
            return false;  // the metadata ends before its last block
        }
        const uint8_t type = header[0] & 0x7F;
        const uint32_t size = BigEndianValue(header + 1, 3);
        position += kBlockHeaderSize;
        if (type == kInvalidBlock || size > *fileSize - position) {
            return false;
        }
        if (type == kCommentBlock) {
            block.resize(size);
            if (!source.ReadAt(position, block.data(), size)) {
                return false;
            }
            if (ReadVorbisComments(block, *this)) {
                TagFound = true;
                return true;  // one comment block is all a stream may have
            }
        }
        if (header[0] & kLastBlock) {
            return true;
        }
        position += size;
    }
}

}  // namespace melodrix
