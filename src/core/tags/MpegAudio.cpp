#include "core/tags/MpegAudio.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "core/tags/ID3v2Numbers.h"
#include "core/tags/MpegFrame.h"

namespace melodrix {
namespace {

constexpr uint64_t kFirstRead = 8192;
constexpr uint64_t kSearchRead = 16384;
// Junk between the leading tag and the first frame is searched this far, no further.
constexpr uint64_t kSearchLimit = 65536;
// The largest frame (layer II, 160 kbit/s at 8 kHz, padded) and a header after it.
constexpr uint64_t kLargestFrame = 2881 + 4;
constexpr uint64_t kProbeRead = 8192;
constexpr uint64_t kWalkRead = 65536;
// A stream without a header is walked over this many bytes; the rest is scaled from them.
constexpr uint64_t kWalkLimit = 4 * 1024 * 1024;
constexpr int kXingFrames = 1, kXingBytes = 2, kXingToc = 4, kXingQuality = 8;

struct TFirstFrame {
    uint64_t Position = 0;  // in the file
    TMpegFrameHeader Header;
    std::vector<uint8_t> Bytes;  // from the frame on, as far as the read went
};

bool ReadRange(IByteSource& source, uint64_t offset, uint64_t size, std::vector<uint8_t>& out) {
    out.resize(static_cast<size_t>(size));
    return source.ReadAt(offset, out.data(), out.size());
}

std::optional<TFirstFrame> FindFirstFrame(IByteSource& source, const TAudioBytes& audio) {
    std::vector<uint8_t> bytes;
    const uint64_t searchEnd = std::min(audio.End, audio.Begin + kSearchLimit);
    uint64_t start = audio.Begin;
    uint64_t size = std::min(searchEnd - start, kFirstRead);
    while (size >= 4) {
        if (!ReadRange(source, start, size, bytes)) {
            return std::nullopt;
        }
        if (const std::optional<TFoundFrame> found =
                FindMpegFrame(bytes, start + size == audio.End)) {
            TFirstFrame first{start + found->Offset, found->Header, {}};
            bytes.erase(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(found->Offset));
            first.Bytes = std::move(bytes);
            return first;
        }
        // The next read starts early enough to see whole a frame cut off by this one's end.
        const uint64_t next = start + size - std::min(size, kLargestFrame);
        if (start + size >= searchEnd || next <= start) {
            return std::nullopt;
        }
        start = next;
        size = std::min(searchEnd - start, kSearchRead);
    }
    return std::nullopt;
}

// The frame count and byte count of a Xing, Info or VBRI header, and the LAME tag's delay and
// padding, as found in the first frame.
struct TStreamHeader {
    bool Cbr = false;
    std::optional<uint32_t> Frames, Bytes;
    uint32_t Delay = 0, Padding = 0;
};

std::optional<TStreamHeader> ReadXing(std::span<const uint8_t> frame, const TMpegFrameHeader& h) {
    const size_t at = 4 + static_cast<size_t>(h.SideInfoSize());
    if (h.Layer != 3 || frame.size() < at + 8) {
        return std::nullopt;
    }
    const bool info = std::memcmp(&frame[at], "Info", 4) == 0;
    if (!info && std::memcmp(&frame[at], "Xing", 4) != 0) {
        return std::nullopt;
    }
    TStreamHeader header;
    header.Cbr = info;
    const uint32_t flags = BigEndianValue(&frame[at + 4], 4);
    size_t position = at + 8;
    const auto field = [&](int flag, size_t size) -> std::optional<uint32_t> {
        if (!(flags & flag) || position + size > frame.size()) {
            return std::nullopt;
        }
        const uint32_t value = size == 4 ? BigEndianValue(&frame[position], 4) : 0;
        position += size;
        return value;
    };
    header.Frames = field(kXingFrames, 4);
    header.Bytes = field(kXingBytes, 4);
    field(kXingToc, 100);
    field(kXingQuality, 4);
    // The LAME tag: encoder name (9), method (1), lowpass (1), replay gain (8), flags (1),
    // bitrate (1), then 12 bits of delay and 12 of padding.
    if (position + 24 <= frame.size()) {
        const uint8_t* tag = &frame[position];
        if (std::memcmp(tag, "LAME", 4) == 0 || std::memcmp(tag, "Lavf", 4) == 0 ||
            std::memcmp(tag, "Lavc", 4) == 0) {
            const int method = tag[9] & 0x0F;
            header.Cbr = header.Cbr || method == 1 || method == 8;
            header.Delay = uint32_t{tag[21]} << 4 | tag[22] >> 4;
            header.Padding = uint32_t{tag[22] & 0x0Fu} << 8 | tag[23];
        }
    }
    return header;
}

std::optional<TStreamHeader> ReadVbri(std::span<const uint8_t> frame) {
    constexpr size_t at = 4 + 32;  // always 32 bytes after the header
    if (frame.size() < at + 18 || std::memcmp(&frame[at], "VBRI", 4) != 0) {
        return std::nullopt;
    }
    TStreamHeader header;
    header.Bytes = BigEndianValue(&frame[at + 10], 4);
    header.Frames = BigEndianValue(&frame[at + 14], 4);
    return header;
}

int64_t Milliseconds(uint64_t samples, int sampleRate) {
    return static_cast<int64_t>((samples * 1000 + static_cast<uint64_t>(sampleRate) / 2) /
                                static_cast<uint64_t>(sampleRate));
}

// Bitrates of the frames that follow one another from the start of `bytes`.
void CollectBitrates(std::span<const uint8_t> bytes, const TMpegFrameHeader& stream,
                     std::vector<int>& bitrates) {
    for (size_t position = 0; position + 4 <= bytes.size();) {
        const std::optional<TMpegFrameHeader> header = DecodeMpegFrameHeader(&bytes[position]);
        if (!header || !header->SameStream(stream) || header->FrameSize == 0) {
            return;
        }
        bitrates.push_back(header->Bitrate);
        position += static_cast<size_t>(header->FrameSize);
    }
}

// True when the frames at the start and in the middle all have the first frame's bitrate.
bool LooksConstant(IByteSource& source, const TFirstFrame& first, const TAudioBytes& audio) {
    std::vector<int> bitrates;
    CollectBitrates(first.Bytes, first.Header, bitrates);
    const uint64_t middle = first.Position + (audio.End - first.Position) / 2;
    const uint64_t size = std::min(kProbeRead, audio.End - middle);
    std::vector<uint8_t> bytes;
    if (middle > first.Position + first.Bytes.size() && ReadRange(source, middle, size, bytes)) {
        if (const std::optional<TFoundFrame> found =
                FindMpegFrame(bytes, middle + size == audio.End)) {
            CollectBitrates(std::span(bytes).subspan(found->Offset), first.Header, bitrates);
        }
    }
    return std::all_of(bitrates.begin(), bitrates.end(),
                       [&](int bitrate) { return bitrate == first.Header.Bitrate; });
}

// Counts the frames from the first one on. Stops at the walk limit, at the end of the audio or
// where the frames stop following one another; the samples counted are then scaled by the
// share of the audio bytes walked.
std::optional<uint64_t> WalkSamples(IByteSource& source, const TFirstFrame& first,
                                    const TAudioBytes& audio) {
    uint64_t position = first.Position, samples = 0;
    const uint64_t limit = std::min(audio.End, first.Position + kWalkLimit);
    std::vector<uint8_t> bytes;
    uint64_t loaded = 0;  // where `bytes` starts in the file
    while (position + 4 <= limit) {
        if (position < loaded || position + 4 > loaded + bytes.size()) {
            loaded = position;
            if (!ReadRange(source, loaded, std::min(kWalkRead, audio.End - loaded), bytes)) {
                return std::nullopt;
            }
        }
        const std::optional<TMpegFrameHeader> header =
            DecodeMpegFrameHeader(&bytes[static_cast<size_t>(position - loaded)]);
        if (!header || !header->SameStream(first.Header) || header->FrameSize == 0) {
            break;  // damage or a tag the edges did not show; what came before still counts
        }
        samples += static_cast<uint64_t>(header->SamplesPerFrame);
        position += static_cast<uint64_t>(header->FrameSize);
    }
    const uint64_t walked = std::min(position, audio.End) - first.Position;
    if (walked == 0) {
        return std::nullopt;
    }
    if (position < audio.End && walked >= kWalkLimit) {
        return static_cast<uint64_t>(static_cast<double>(samples) *
                                     static_cast<double>(audio.End - first.Position) /
                                     static_cast<double>(walked));
    }
    return samples;
}

}  // namespace

std::optional<TAudioProperties> ReadMpegAudioProperties(IByteSource& source, TAudioBytes audio) {
    const std::optional<TFirstFrame> first = FindFirstFrame(source, audio);
    if (!first || first->Header.FrameSize == 0) {
        return std::nullopt;  // nothing found, or the free format, which is not measured
    }
    const TMpegFrameHeader& h = first->Header;
    TAudioProperties properties;
    properties.Codec = h.Layer == 1   ? TAudioCodec::MP1
                       : h.Layer == 2 ? TAudioCodec::MP2
                                      : TAudioCodec::MP3;
    properties.SampleRate = h.SampleRate;
    properties.Channels = h.Channels;
    const uint64_t streamBytes = audio.End - first->Position;

    std::optional<TStreamHeader> header = ReadXing(first->Bytes, h);
    if (!header) {
        header = ReadVbri(first->Bytes);
    }
    if (header && header->Frames && *header->Frames > 0) {
        const uint64_t frameSamples = uint64_t{*header->Frames} * h.SamplesPerFrame;
        const uint64_t trimmed = header->Delay + header->Padding;
        const uint64_t samples = frameSamples > trimmed ? frameSamples - trimmed : frameSamples;
        properties.DurationMs = Milliseconds(samples, h.SampleRate);
        properties.Mode = header->Cbr ? TAudioMode::CBR : TAudioMode::VBR;
        if (header->Cbr) {
            properties.Bitrate = h.Bitrate;
        } else {
            // The bytes are spent over every frame, the delay and padding included.
            const uint64_t bytes = header->Bytes && *header->Bytes > 0
                                       ? std::min<uint64_t>(*header->Bytes, streamBytes)
                                       : streamBytes;
            properties.Bitrate = AverageBitrate(bytes, Milliseconds(frameSamples, h.SampleRate));
        }
        return properties;
    }
    if ((!header || header->Cbr) && LooksConstant(source, *first, audio)) {
        properties.Mode = TAudioMode::CBR;
        properties.Bitrate = h.Bitrate;
        // kbit/s are bits per millisecond.
        properties.DurationMs =
            static_cast<int64_t>(streamBytes * 8 / static_cast<uint64_t>(h.Bitrate));
        return properties;
    }
    properties.Mode = TAudioMode::VBR;
    if (const std::optional<uint64_t> samples = WalkSamples(source, *first, audio)) {
        properties.DurationMs = Milliseconds(*samples, h.SampleRate);
        properties.Bitrate = AverageBitrate(streamBytes, *properties.DurationMs);
    }
    return properties;
}

}  // namespace melodrix
