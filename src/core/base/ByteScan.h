#pragma once

// Tests over text eight bytes at a time, for the loops that read or write every byte of a
// catalog. Each word test marks the high bit of the bytes it finds. Whether any byte is
// marked is exact; so is which byte is marked first (lowest address on a little-endian
// machine), since a borrow only runs towards higher bytes.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace melodrix::bytescan {

inline constexpr uint64_t kOnes = 0x0101010101010101ull;
inline constexpr uint64_t kHighs = 0x8080808080808080ull;

inline uint64_t Load(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

inline uint64_t ZeroBytes(uint64_t word) {
    return (word - kOnes) & ~word & kHighs;
}

inline uint64_t BytesEqual(uint64_t word, char c) {
    return ZeroBytes(word ^ (kOnes * static_cast<unsigned char>(c)));
}

// Bytes below 0x20: the control characters.
inline uint64_t ControlBytes(uint64_t word) {
    return (word - kOnes * 0x20) & ~word & kHighs;
}

// Bytes of 0x80 and above: parts of characters beyond ASCII.
inline uint64_t HighBytes(uint64_t word) {
    return word & kHighs;
}

inline uint64_t BytesAmong(uint64_t word, std::string_view bytes) {
    uint64_t found = 0;
    for (const char c : bytes) {
        found |= BytesEqual(word, c);
    }
    return found;
}

// True when some byte of `text` is one of `bytes`, or a control character if `controls`.
inline bool HasAnyOf(std::string_view text, std::string_view bytes, bool controls = false) {
    const auto marks = [&](uint64_t word) {
        return BytesAmong(word, bytes) | (controls ? ControlBytes(word) : 0);
    };
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        if (marks(Load(text.data() + i)) != 0) {
            return true;
        }
    }
    const size_t rest = text.size() - i;
    if (rest == 0) {
        return false;
    }
    if constexpr (std::endian::native == std::endian::little) {
        // The last bytes as one word: what stands beyond the text fills its high bytes, whose
        // marks are cut off, and a borrow never runs down into the text's own bytes.
        uint64_t word = 0;
        std::memcpy(&word, text.data() + i, rest);
        return (marks(word) & (~uint64_t{0} >> (64 - 8 * rest))) != 0;
    }
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (controls && c < 0x20) {
            return true;
        }
        for (const char b : bytes) {
            if (text[i] == b) {
                return true;
            }
        }
    }
    return false;
}

// The length of the run of printable ASCII (0x20 to 0x7F) that starts `text`, counted in
// whole words; the caller goes on byte by byte from there.
inline size_t PrintableAsciiWords(std::string_view text) {
    size_t i = 0;
    while (i + 8 <= text.size()) {
        const uint64_t word = Load(text.data() + i);
        if ((HighBytes(word) | ControlBytes(word)) != 0) {
            break;
        }
        i += 8;
    }
    return i;
}

// Equality of two short texts such as attribute names, without a call: texts of 8 to 16
// bytes are compared as two overlapping words each.
inline bool ShortEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const size_t size = a.size();
    if (size >= 8 && size <= 16) {
        return Load(a.data()) == Load(b.data()) &&
               Load(a.data() + size - 8) == Load(b.data() + size - 8);
    }
    return a == b;
}

}  // namespace melodrix::bytescan
