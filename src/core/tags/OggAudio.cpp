#include "core/tags/OggAudio.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/tags/FLACAudio.h"

namespace melodrix {
namespace {

constexpr uint64_t kPageHeaderSize = 27;
constexpr uint8_t kFirstPage = 0x02;
constexpr uint64_t kHeadRead = 4096;
// A page holds at most 27 + 255 + 255 * 255 bytes, so the last page of a stream starts within
// this many bytes of the end unless other streams' pages follow it.
constexpr uint64_t kTailRead = 65536;
// The last page is nearly always short: the first look at the end reads this much only.
constexpr uint64_t kFirstTailRead = 8192;
constexpr int kTailReads = 4;
constexpr uint64_t kNoGranule = ~uint64_t{0};

uint32_t LittleEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

uint64_t LittleEndian64(const uint8_t* bytes) {
    return uint64_t{LittleEndian32(bytes)} | uint64_t{LittleEndian32(bytes + 4)} << 32;
}

bool StartsWith(const std::vector<uint8_t>& bytes, size_t at, std::string_view prefix) {
    return bytes.size() >= at + prefix.size() &&
           std::memcmp(bytes.data() + at, prefix.data(), prefix.size()) == 0;
}

struct TStream {
    uint32_t Serial = 0;
    TAudioProperties Properties;
    uint32_t PreSkip = 0;  // Opus: samples the decoder drops at the start
    int GranuleRate = 0;   // granule positions count samples at this rate
};

// The stream's codec and header fields from the first page.
std::optional<TStream> ReadFirstPage(IByteSource& source, uint64_t fileSize) {
    using namespace std::string_view_literals;
    std::vector<uint8_t> page(static_cast<size_t>(std::min(fileSize, kHeadRead)));
    if (page.size() < kPageHeaderSize || !source.ReadAt(0, page.data(), page.size()) ||
        !StartsWith(page, 0, "OggS"sv) || page[4] != 0 || !(page[5] & kFirstPage)) {
        return std::nullopt;
    }
    TStream stream;
    stream.Serial = LittleEndian32(&page[14]);
    const size_t packet = kPageHeaderSize + page[26];
    if (StartsWith(page, packet, "\x01vorbis"sv) && page.size() >= packet + 28) {
        const uint8_t* id = &page[packet];
        const uint32_t rate = LittleEndian32(id + 12);
        if (rate == 0 || id[11] == 0) {
            return std::nullopt;
        }
        stream.Properties.Codec = TAudioCodec::Vorbis;
        stream.Properties.Channels = id[11];
        stream.Properties.SampleRate = static_cast<int>(std::min<uint32_t>(rate, 1 << 30));
        stream.GranuleRate = *stream.Properties.SampleRate;
        // The bitrate bounds are equal only for a stream held to one rate.
        const uint32_t maximum = LittleEndian32(id + 16), nominal = LittleEndian32(id + 20),
                       minimum = LittleEndian32(id + 24);
        const bool fixed = nominal > 0 && maximum == nominal && minimum == nominal;
        stream.Properties.Mode = fixed ? TAudioMode::CBR : TAudioMode::VBR;
        return stream;
    }
    if (StartsWith(page, packet, "OpusHead"sv) && page.size() >= packet + 19) {
        const uint8_t* head = &page[packet];
        if (head[9] == 0) {
            return std::nullopt;
        }
        stream.Properties.Codec = TAudioCodec::Opus;
        stream.Properties.Channels = head[9];
        // Opus always decodes at 48 kHz; the input rate in the header is only informative.
        stream.Properties.SampleRate = 48000;
        stream.GranuleRate = 48000;
        stream.PreSkip = uint32_t{head[10]} | uint32_t{head[11]} << 8;
        return stream;
    }
    // FLAC in Ogg: "\x7F" "FLAC", version, header count, then "fLaC" and the STREAMINFO block.
    if (StartsWith(page, packet,
                   "\x7F"
                   "FLAC"sv) &&
        StartsWith(page, packet + 9, "fLaC"sv) && page.size() >= packet + 17 + 34) {
        std::optional<TAudioProperties> info = StreamInfoProperties(&page[packet + 17]);
        if (!info) {
            return std::nullopt;
        }
        stream.Properties = *info;
        stream.GranuleRate = *info->SampleRate;
        return stream;
    }
    return std::nullopt;
}

// The granule position of the last page of `serial`, searched backwards from the end.
std::optional<uint64_t> LastGranule(IByteSource& source, uint64_t fileSize, uint32_t serial) {
    std::vector<uint8_t> bytes;
    uint64_t end = fileSize;
    for (int read = 0; read < kTailReads && end > 0; ++read) {
        const uint64_t start = end - std::min(end, read == 0 ? kFirstTailRead : kTailRead);
        bytes.resize(static_cast<size_t>(end - start));
        if (!source.ReadAt(start, bytes.data(), bytes.size())) {
            return std::nullopt;
        }
        for (size_t at = bytes.size() >= kPageHeaderSize ? bytes.size() - kPageHeaderSize + 1 : 0;
             at-- > 0;) {
            const uint8_t* page = &bytes[at];
            if (std::memcmp(page, "OggS", 4) != 0 || page[4] != 0 ||
                LittleEndian32(page + 14) != serial) {
                continue;
            }
            // A page cut off by the end of the file does not count: its packets are not there.
            const size_t segments = page[26];
            if (bytes.size() - at < kPageHeaderSize + segments) {
                continue;
            }
            size_t pageSize = kPageHeaderSize + segments;
            for (size_t s = 0; s < segments; ++s) {
                pageSize += page[kPageHeaderSize + s];
            }
            if (start + at + pageSize > fileSize) {
                continue;
            }
            const uint64_t granule = LittleEndian64(page + 6);
            // A page on which no packet ends has no granule position of its own.
            if (granule != kNoGranule) {
                return granule;
            }
        }
        if (start == 0) {
            break;
        }
        // The next read overlaps this one by a page header and its lacing values, which a page
        // cut by this one's start needs whole.
        end = start + kPageHeaderSize + 255;
    }
    return std::nullopt;
}

// Where the audio pages begin: after the header pages at the start, whose granule position is
// 0 (or none, for a page that only continues a header packet). Walks at most kHeaderPages
// pages; nothing when they do not end in that many or cannot be read.
std::optional<uint64_t> AudioPagesStart(IByteSource& source, uint64_t fileSize, uint32_t serial) {
    constexpr int kHeaderPages = 64;
    std::vector<uint8_t> header(kPageHeaderSize + 255);
    uint64_t at = 0;
    for (int page = 0; page < kHeaderPages && at + kPageHeaderSize <= fileSize; ++page) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(header.size(), fileSize - at));
        if (!source.ReadAt(at, header.data(), size) || std::memcmp(header.data(), "OggS", 4) != 0 ||
            size < kPageHeaderSize + header[26]) {
            return std::nullopt;
        }
        const uint64_t granule = LittleEndian64(&header[6]);
        if (LittleEndian32(&header[14]) == serial && granule != 0 && granule != kNoGranule) {
            return at;
        }
        uint64_t pageSize = kPageHeaderSize + header[26];
        for (size_t s = 0; s < header[26]; ++s) {
            pageSize += header[kPageHeaderSize + s];
        }
        at += pageSize;
    }
    return std::nullopt;
}

}  // namespace

std::optional<TAudioProperties> ReadOggAudioProperties(IByteSource& source) {
    const std::optional<uint64_t> fileSize = source.Size();
    if (!fileSize) {
        return std::nullopt;
    }
    std::optional<TStream> stream = ReadFirstPage(source, *fileSize);
    if (!stream) {
        return std::nullopt;
    }
    TAudioProperties& properties = stream->Properties;
    const std::optional<uint64_t> granule = LastGranule(source, *fileSize, stream->Serial);
    if (granule && *granule > stream->PreSkip && *granule < (uint64_t{1} << 53)) {
        const uint64_t samples = *granule - stream->PreSkip;
        const auto rate = static_cast<uint64_t>(stream->GranuleRate);
        properties.DurationMs =
            static_cast<int64_t>((samples * 1000 / rate) + ((samples * 1000 % rate) * 2 >= rate));
    }
    if (properties.DurationMs) {
        // The bitrate of the audio: the header packets (a long comment list, a picture) are
        // not played.
        const uint64_t audioStart = AudioPagesStart(source, *fileSize, stream->Serial).value_or(0);
        properties.Bitrate = AverageBitrate(*fileSize - audioStart, *properties.DurationMs);
    }
    return properties;
}

}  // namespace melodrix
