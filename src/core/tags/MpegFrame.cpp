#include "core/tags/MpegFrame.h"

namespace melodrix {
namespace {

// kbit/s by bitrate index (1 to 14); index 0 is the free format, 15 is reserved.
constexpr int kBitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG 1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG 1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG 1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG 2 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG 2 II, III
};
constexpr int kSampleRates[3] = {44100, 48000, 32000};  // MPEG 1; halved for 2, quartered for 2.5

}  // namespace

int TMpegFrameHeader::SideInfoSize() const {
    if (Version == 1) {
        return Channels == 1 ? 17 : 32;
    }
    return Channels == 1 ? 9 : 17;
}

std::optional<TMpegFrameHeader> DecodeMpegFrameHeader(const uint8_t* bytes) {
    if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int versionBits = (bytes[1] >> 3) & 3;
    const int layerBits = (bytes[1] >> 1) & 3;
    const int bitrateIndex = bytes[2] >> 4;
    const int rateIndex = (bytes[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        (bytes[3] & 3) == 2) {
        return std::nullopt;
    }
    TMpegFrameHeader header;
    header.Version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    header.Layer = 4 - layerBits;
    header.Protected = (bytes[1] & 1) == 0;
    const int table = header.Version == 1 ? header.Layer - 1 : header.Layer == 1 ? 3 : 4;
    header.Bitrate = kBitrates[table][bitrateIndex];
    header.SampleRate = kSampleRates[rateIndex] >> (header.Version == 1   ? 0
                                                    : header.Version == 2 ? 1
                                                                          : 2);
    header.Channels = (bytes[3] >> 6) == 3 ? 1 : 2;
    header.SamplesPerFrame = header.Layer == 1     ? 384
                             : header.Layer == 2   ? 1152
                             : header.Version == 1 ? 1152
                                                   : 576;
    const int padding = (bytes[2] >> 1) & 1;
    if (header.Bitrate > 0) {
        // Layer I counts in slots of four bytes, the others in bytes.
        const int slot = header.Layer == 1 ? 4 : 1;
        const int slots =
            header.SamplesPerFrame / 8 * header.Bitrate * 1000 / header.SampleRate / slot;
        header.FrameSize = (slots + padding) * slot;
    }
    return header;
}

std::optional<TFoundFrame> FindMpegFrame(std::span<const uint8_t> bytes, bool atStreamEnd) {
    std::optional<TFoundFrame> freeFormat;
    for (size_t offset = 0; offset + 4 <= bytes.size(); ++offset) {
        if (bytes[offset] != 0xFF) {
            continue;
        }
        const std::optional<TMpegFrameHeader> header = DecodeMpegFrameHeader(&bytes[offset]);
        if (!header) {
            continue;
        }
        if (header->FrameSize == 0) {
            if (!freeFormat) {
                freeFormat = TFoundFrame{offset, *header};
            }
            continue;
        }
        const size_t next = offset + static_cast<size_t>(header->FrameSize);
        if (next == bytes.size() && atStreamEnd) {
            return TFoundFrame{offset, *header};
        }
        if (next + 4 <= bytes.size()) {
            const std::optional<TMpegFrameHeader> following = DecodeMpegFrameHeader(&bytes[next]);
            if (following && following->SameStream(*header)) {
                return TFoundFrame{offset, *header};
            }
        }
    }
    return freeFormat;
}

}  // namespace melodrix
