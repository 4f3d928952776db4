#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace melodrix {

// The four-byte header of an MPEG audio frame (MPEG 1, 2 and 2.5, layers I to III).
struct TMpegFrameHeader {
    int Version = 1;  // 1, 2, or 25 for MPEG 2.5
    int Layer = 3;
    int Bitrate = 0;  // kbit/s; 0 for the free format, whose frames have no size of their own
    int SampleRate = 0;
    int Channels = 2;
    int SamplesPerFrame = 0;
    int FrameSize = 0;  // bytes, header included; 0 for the free format
    bool Protected = false;

    // The bytes between the header (and its checksum) and the Xing or Info header of a layer III
    // frame: its side information.
    int SideInfoSize() const;
    // Version, layer and sample rate: what stays the same from frame to frame of one stream.
    bool SameStream(const TMpegFrameHeader& other) const {
        return Version == other.Version && Layer == other.Layer && SampleRate == other.SampleRate;
    }
};

// Decodes a frame header; nothing when the four bytes are not one (no sync, a reserved
// version, layer, bitrate or sample rate, or a reserved emphasis).
std::optional<TMpegFrameHeader> DecodeMpegFrameHeader(const uint8_t* bytes);

// The first frame header in `bytes` that another frame of the same stream follows directly,
// or that ends exactly at the end of `bytes` when `atStreamEnd`, so that stray sync bits in
// junk are not taken for a frame. Free-format frames are found too (their size is 0) when
// nothing else is. Returns the offset and the header.
struct TFoundFrame {
    size_t Offset = 0;
    TMpegFrameHeader Header;
};
std::optional<TFoundFrame> FindMpegFrame(std::span<const uint8_t> bytes, bool atStreamEnd);

}  // namespace melodrix
