#include "core/tags/APEv2.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/base/TextDecoding.h"
#include "core/tags/ByteWindow.h"
#include "core/tags/ID3v1.h"

namespace melodrix {
namespace {

constexpr uint64_t kBlockSize = 32;  // header and footer alike
constexpr uint64_t kItemHeaderSize = 8;
constexpr uint32_t kBinaryItem = 0x2;
constexpr char kPreamble[] = "APETAGEX";
constexpr int32_t kMaxItems = 4096;

uint32_t LittleEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

bool IsBlock(const uint8_t* bytes) {
    return std::memcmp(bytes, kPreamble, 8) == 0;
}

bool SameKey(std::string_view key, std::string_view name) {
    return key.size() == name.size() &&
           std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(a) == lower(b);
           });
}

// Values separated by zero bytes become one text joined with "; ".
std::string JoinedValues(std::string_view value, bool singleByte) {
    std::string joined;
    while (true) {
        const size_t zero = value.find('\0');
        std::string_view piece = value.substr(0, zero);
        const std::string text =
            singleByte ? Windows1252ToUtf8(TrimBlanks(piece)) : SanitizeUtf8(piece);
        if (!text.empty()) {
            if (!joined.empty()) {
                joined += "; ";
            }
            joined += text;
        }
        if (zero == std::string_view::npos) {
            return joined;
        }
        value.remove_prefix(zero + 1);
    }
}

}  // namespace

bool TAPEv2::ReadTag(IByteSource& source) {
    const std::optional<uint64_t> fileSize = source.Size();
    if (!fileSize) {
        return false;
    }
    // One read covers both places a footer may have: the very end, or before an ID3v1 tag.
    constexpr uint64_t kTailSize = kBlockSize + kID3v1TagSize;
    std::array<uint8_t, kTailSize> tail{};
    const uint64_t tailSize = std::min(*fileSize, kTailSize);
    const uint64_t tailStart = *fileSize - tailSize;
    if (!source.ReadAt(tailStart, tail.data() + (kTailSize - tailSize), tailSize)) {
        return false;
    }
    uint64_t footerStart = 0;
    const uint8_t* footer = nullptr;
    if (tailSize >= kBlockSize && IsBlock(tail.data() + kTailSize - kBlockSize)) {
        footerStart = *fileSize - kBlockSize;
        footer = tail.data() + kTailSize - kBlockSize;
    } else if (tailSize == kTailSize && std::memcmp(tail.data() + kBlockSize, "TAG", 3) == 0 &&
               IsBlock(tail.data())) {
        footerStart = tailStart;
        footer = tail.data();
    } else {
        return true;
    }
    TagFound = true;
    // The tag size counts the items and the footer, not a header in front of them.
    const uint64_t tagSize = LittleEndian32(footer + 12);
    const auto itemCount = static_cast<int32_t>(LittleEndian32(footer + 16));
    if (tagSize < kBlockSize || tagSize - kBlockSize > footerStart) {
        return false;
    }
    uint64_t position = footerStart + kBlockSize - tagSize;
    const uint64_t end = footerStart;
    if (itemCount <= 0) {
        return true;
    }
    // Every item takes its 8-byte header, a key of at least one byte and the key's zero.
    if (static_cast<uint64_t>(itemCount) > (end - position) / (kItemHeaderSize + 2)) {
        return false;
    }
    TByteWindow window(source, end);
    // Writers that count a header into the tag size leave it in front of the first item.
    if (end - position >= kBlockSize) {
        const uint8_t* start = window.Get(position, kBlockSize);
        if (start == nullptr) {
            return false;
        }
        if (IsBlock(start)) {
            position += kBlockSize;
        }
    }
    // Real tags hold a few dozen items; the rest of a larger count is not read.
    for (int32_t item = 0; item < std::min(itemCount, kMaxItems); ++item) {
        const uint8_t* itemHeader = window.Get(position, kItemHeaderSize);
        if (itemHeader == nullptr) {
            return false;  // the items run past the tag
        }
        const uint32_t valueSize = LittleEndian32(itemHeader);
        const uint32_t itemFlags = LittleEndian32(itemHeader + 4);
        position += kItemHeaderSize;
        std::string key;
        while (true) {
            const uint8_t* byte = window.Get(position++, 1);
            if (byte == nullptr) {
                return false;
            }
            if (*byte == 0) {
                break;
            }
            key.push_back(static_cast<char>(*byte));
        }
        if (valueSize > end - position) {
            return false;
        }
        const std::string_view trimmedKey = TrimBlanks(key);
        if (!(itemFlags & kBinaryItem)) {
            const uint8_t* value = valueSize > 0 ? window.Get(position, valueSize) : nullptr;
            if (valueSize > 0 && value == nullptr) {
                return false;
            }
            Store(trimmedKey, std::string_view(reinterpret_cast<const char*>(value), valueSize));
        }
        position += valueSize;
    }
    return true;
}

void TAPEv2::Store(std::string_view key, std::string_view value) {
    struct TTarget {
        std::string_view Key;
        std::string TAPEv2::*Field;
        bool SingleByte;  // track, disc and year are plain bytes, the other items UTF-8
    };
    static constexpr TTarget kTargets[] = {{"Title", &TAPEv2::Title, false},
                                           {"Artist", &TAPEv2::Artist, false},
                                           {"Album", &TAPEv2::Album, false},
                                           {"Year", &TAPEv2::Year, true},
                                           {"Comment", &TAPEv2::Comment, false},
                                           {"Track", &TAPEv2::Track, true},
                                           {"Genre", &TAPEv2::Genre, false},
                                           {"Disc", &TAPEv2::Disc, true},
                                           {"Album Artist", &TAPEv2::AlbumArtist, false}};
    for (const TTarget& target : kTargets) {
        if (SameKey(key, target.Key)) {
            this->*target.Field = JoinedValues(value, target.SingleByte);
            return;
        }
    }
}

}  // namespace melodrix
