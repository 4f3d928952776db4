#pragma once

#include <cstdint>
#include <optional>

#include "core/tags/ByteSource.h"
#include "core/tags/ByteWindow.h"

namespace melodrix {

// One atom (box) of an MP4 file: its four-letter type and where its contents lie.
struct TMP4Atom {
    uint32_t Type = 0;
    uint64_t Start = 0;         // of the header
    uint64_t ContentStart = 0;  // after the header (and its 64-bit size, when it has one)
    uint64_t End = 0;
};

constexpr uint32_t AtomType(const char (&name)[5]) {
    return uint32_t{static_cast<uint8_t>(name[0])} << 24 |
           uint32_t{static_cast<uint8_t>(name[1])} << 16 |
           uint32_t{static_cast<uint8_t>(name[2])} << 8 | uint32_t{static_cast<uint8_t>(name[3])};
}

// Reads the atom header at `position` of a container that ends at `end`. A size of 0 means "to
// the end of the container", a size of 1 a 64-bit size after the type. Nothing when the header
// is cut off, cannot be read, or gives a size smaller than itself or past `end`.
std::optional<TMP4Atom> ReadAtomHeader(IByteSource& source, uint64_t position, uint64_t end);
// The same over a window, for the small atoms inside the movie atom.
std::optional<TMP4Atom> ReadAtomHeader(TByteWindow& window, uint64_t position, uint64_t end);

}  // namespace melodrix
