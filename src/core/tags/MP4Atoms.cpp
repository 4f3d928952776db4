#include "core/tags/MP4Atoms.h"

#include "core/tags/ID3v2Numbers.h"

namespace melodrix {
namespace {

constexpr uint64_t kHeaderSize = 8;
constexpr uint64_t kLargeHeaderSize = 16;

// `bytes` holds the first `available` bytes of the header (8 or 16).
std::optional<TMP4Atom> HeaderFrom(const uint8_t* bytes, uint64_t available, uint64_t position,
                                   uint64_t end) {
    TMP4Atom atom;
    atom.Start = position;
    atom.Type = BigEndianValue(bytes + 4, 4);
    const uint32_t size = BigEndianValue(bytes, 4);
    if (size == 1) {
        if (available < kLargeHeaderSize) {
            return std::nullopt;
        }
        const uint64_t large =
            uint64_t{BigEndianValue(bytes + 8, 4)} << 32 | BigEndianValue(bytes + 12, 4);
        if (large < kLargeHeaderSize || large > end - position) {
            return std::nullopt;
        }
        atom.ContentStart = position + kLargeHeaderSize;
        atom.End = position + large;
        return atom;
    }
    atom.ContentStart = position + kHeaderSize;
    if (size == 0) {
        atom.End = end;
        return atom;
    }
    if (size < kHeaderSize || size > end - position) {
        return std::nullopt;
    }
    atom.End = position + size;
    return atom;
}

}  // namespace

std::optional<TMP4Atom> ReadAtomHeader(IByteSource& source, uint64_t position, uint64_t end) {
    if (position > end || end - position < kHeaderSize) {
        return std::nullopt;
    }
    uint8_t bytes[kLargeHeaderSize];
    const uint64_t available = std::min(end - position, kLargeHeaderSize);
    if (!source.ReadAt(position, bytes, kHeaderSize)) {
        return std::nullopt;
    }
    // Only a size of 1 needs the 64-bit size, so most headers cost one short read.
    if (BigEndianValue(bytes, 4) == 1 && available == kLargeHeaderSize &&
        !source.ReadAt(position + kHeaderSize, bytes + kHeaderSize, kHeaderSize)) {
        return std::nullopt;
    }
    return HeaderFrom(bytes, available, position, end);
}

std::optional<TMP4Atom> ReadAtomHeader(TByteWindow& window, uint64_t position, uint64_t end) {
    if (position > end || end - position < kHeaderSize) {
        return std::nullopt;
    }
    const uint64_t available = std::min(end - position, kLargeHeaderSize);
    const uint8_t* bytes = window.Get(position, static_cast<size_t>(available));
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return HeaderFrom(bytes, available, position, end);
}

}  // namespace melodrix
