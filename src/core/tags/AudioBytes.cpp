#include "core/tags/AudioBytes.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/tags/FLACTag.h"
#include "core/tags/ID3v1.h"

namespace melodrix {
namespace {

constexpr uint64_t kApeBlockSize = 32;
constexpr uint32_t kApeHasHeader = 0x80000000u;
constexpr uint64_t kLyrics2TrailerSize = 15;  // six digits of size, then "LYRICS200"
constexpr uint64_t kLyrics1Limit = 5100;      // the most text a Lyrics3 v1 block may hold
constexpr uint64_t kTailSize = 512;
// Each round peels one tag off the end; files carry at most three of them.
constexpr int kMaxTags = 4;

uint32_t LittleEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

bool Matches(const uint8_t* bytes, const char* text) {
    return bytes != nullptr && std::memcmp(bytes, text, std::strlen(text)) == 0;
}

// The last bytes of the file, read once; ranges before them are read when asked for.
class TTail {
public:
    TTail(IByteSource& source, uint64_t fileSize) : source_(source), fileSize_(fileSize) {}

    bool Load() {
        start_ = fileSize_ - std::min(fileSize_, kTailSize);
        bytes_.resize(fileSize_ - start_);
        return source_.ReadAt(start_, bytes_.data(), bytes_.size());
    }

    // The `size` bytes at `offset`, valid until the next call; nullptr when unreadable.
    const uint8_t* Get(uint64_t offset, size_t size) {
        if (offset >= start_ && offset + size <= fileSize_) {
            return bytes_.data() + (offset - start_);
        }
        other_.resize(size);
        return source_.ReadAt(offset, other_.data(), size) ? other_.data() : nullptr;
    }

private:
    IByteSource& source_;
    const uint64_t fileSize_;
    uint64_t start_ = 0;
    std::vector<uint8_t> bytes_, other_;
};

// The start of the Lyrics3 block that ends at `end`, when there is one.
std::optional<uint64_t> Lyrics3Start(TTail& tail, uint64_t end) {
    if (end < kLyrics2TrailerSize) {
        return std::nullopt;
    }
    const uint8_t* trailer = tail.Get(end - kLyrics2TrailerSize, kLyrics2TrailerSize);
    if (trailer == nullptr) {
        return std::nullopt;
    }
    if (Matches(trailer + 6, "LYRICS200")) {
        // Version 2 gives the size of everything before its trailer, "LYRICSBEGIN" included.
        uint64_t size = 0;
        for (int i = 0; i < 6; ++i) {
            if (trailer[i] < '0' || trailer[i] > '9') {
                return std::nullopt;
            }
            size = size * 10 + (trailer[i] - '0');
        }
        if (size < 11 || size > end - kLyrics2TrailerSize) {
            return std::nullopt;
        }
        const uint64_t start = end - kLyrics2TrailerSize - size;
        const uint8_t* begin = tail.Get(start, 11);
        return begin != nullptr && Matches(begin, "LYRICSBEGIN") ? std::optional(start)
                                                                 : std::nullopt;
    }
    if (Matches(trailer + 6, "LYRICSEND")) {
        // Version 1 has no size: its start is searched for in the bytes it may cover.
        const uint64_t blockEnd = end - 9;
        const uint64_t searched = std::min<uint64_t>(blockEnd, kLyrics1Limit + 11);
        const uint8_t* bytes = tail.Get(blockEnd - searched, static_cast<size_t>(searched));
        if (bytes == nullptr || searched < 11) {
            return std::nullopt;
        }
        for (uint64_t i = searched - 11 + 1; i-- > 0;) {
            if (Matches(bytes + i, "LYRICSBEGIN")) {
                return blockEnd - searched + i;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<uint64_t> TrailingTagsStart(IByteSource& source, uint64_t fileSize) {
    TTail tail(source, fileSize);
    if (!tail.Load()) {
        return std::nullopt;
    }
    uint64_t end = fileSize;
    for (int round = 0; round < kMaxTags; ++round) {
        if (round == 0 && end >= kID3v1TagSize) {
            const uint8_t* tag = tail.Get(end - kID3v1TagSize, kID3v1TagSize);
            // The "TAG" of an APEv2 block that ends 125 bytes before the end is no ID3v1 tag.
            const bool isTag = tag != nullptr && Matches(tag, "TAG");
            const bool insideApe = isTag && Matches(tag + 3, "EX") && end >= kID3v1TagSize + 3 &&
                                   Matches(tail.Get(end - kID3v1TagSize - 3, 3), "APE");
            if (isTag && !insideApe) {
                end -= kID3v1TagSize;
                continue;
            }
        }
        if (end >= kApeBlockSize) {
            const uint8_t* footer = tail.Get(end - kApeBlockSize, kApeBlockSize);
            if (footer != nullptr && Matches(footer, "APETAGEX")) {
                // The size counts the items and the footer; a header in front is extra.
                const uint64_t size = LittleEndian32(footer + 12);
                const uint64_t whole =
                    size + ((LittleEndian32(footer + 20) & kApeHasHeader) ? kApeBlockSize : 0);
                if (size >= kApeBlockSize && whole <= end) {
                    end -= whole;
                    continue;
                }
            }
        }
        if (const std::optional<uint64_t> lyrics = Lyrics3Start(tail, end)) {
            end = *lyrics;
            continue;
        }
        break;
    }
    return end;
}

std::optional<TAudioBytes> FindAudioBytes(IByteSource& source) {
    const std::optional<uint64_t> fileSize = source.Size();
    if (!fileSize) {
        return std::nullopt;
    }
    const std::optional<uint64_t> begin = StreamStartAfterID3v2(source, *fileSize);
    const std::optional<uint64_t> end = TrailingTagsStart(source, *fileSize);
    if (!begin || !end) {
        return std::nullopt;
    }
    // A leading tag that claims more than the file has leaves no audio.
    return TAudioBytes{std::min(*begin, *end), *end};
}

}  // namespace melodrix
