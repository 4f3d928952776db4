#include "core/tags/FLACBlocks.h"

#include "core/tags/ID3v2Numbers.h"

namespace melodrix {
namespace {

constexpr uint64_t kHeaderSize = 4;
constexpr uint8_t kLastBlock = 0x80;
constexpr uint8_t kInvalidBlock = 127;
// Real streams have a handful of blocks (stream info, seek table, comments, pictures, padding).
constexpr int kMaxBlocks = 1024;

}  // namespace

std::optional<TFLACBlock> TFLACBlocks::Next() {
    if (done_) {
        return std::nullopt;
    }
    const auto fail = [this]() -> std::optional<TFLACBlock> {
        done_ = broken_ = true;
        return std::nullopt;
    };
    if (++count_ > kMaxBlocks) {
        return fail();
    }
    const uint8_t* header = window_.Get(position_, kHeaderSize);
    if (header == nullptr) {
        return fail();  // the metadata ends before its last block
    }
    TFLACBlock block;
    block.Type = header[0] & 0x7F;
    block.Last = (header[0] & kLastBlock) != 0;
    block.Size = BigEndianValue(header + 1, 3);
    block.Start = position_ + kHeaderSize;
    if (block.Type == kInvalidBlock || block.Size > window_.Limit() - block.Start) {
        return fail();
    }
    position_ = block.Start + block.Size;
    done_ = block.Last;
    return block;
}

}  // namespace melodrix
