#include "core/tags/FLACTag.h"

#include <cstring>
#include <vector>

#include "core/tags/FLACBlocks.h"
#include "core/tags/ID3v2Numbers.h"
#include "core/tags/VorbisComments.h"

namespace melodrix {

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
    TFLACBlocks blocks(source, *start + sizeof marker, *fileSize);
    std::vector<uint8_t> body;
    while (const std::optional<TFLACBlock> block = blocks.Next()) {
        if (block->Type == kFLACComment) {
            body.resize(block->Size);
            if (!source.ReadAt(block->Start, body.data(), body.size())) {
                return false;
            }
            if (ReadVorbisComments(body, *this)) {
                TagFound = true;
                return true;  // one comment block is all a stream may have
            }
        }
    }
    return !blocks.Broken();
}

}  // namespace melodrix
