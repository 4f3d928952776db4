#include "core/tags/FLACAudio.h"

#include <cstring>

#include "core/tags/FLACBlocks.h"
#include "core/tags/ID3v2Numbers.h"

namespace melodrix {

std::optional<TAudioProperties> StreamInfoProperties(const uint8_t* body) {
    // After the block and frame size limits (10 bytes): 20 bits of sample rate, 3 of channels
    // less one, 5 of bits per sample less one, 36 of total samples.
    const uint32_t rate = BigEndianValue(body + 10, 3) >> 4;
    if (rate == 0) {
        return std::nullopt;
    }
    TAudioProperties properties;
    properties.Codec = TAudioCodec::FLAC;
    properties.Mode = TAudioMode::Lossless;
    properties.SampleRate = static_cast<int>(rate);
    properties.Channels = ((body[12] >> 1) & 7) + 1;
    const uint64_t samples = uint64_t{body[13] & 0x0Fu} << 32 | BigEndianValue(body + 14, 4);
    if (samples > 0) {
        // Rounded to the nearest millisecond.
        properties.DurationMs = static_cast<int64_t>((samples * 1000 + rate / 2) / rate);
    }
    return properties;
}

std::optional<TAudioProperties> ReadFLACAudioProperties(IByteSource& source, TAudioBytes audio) {
    uint8_t marker[4];
    if (audio.Size() < sizeof marker || !source.ReadAt(audio.Begin, marker, sizeof marker) ||
        std::memcmp(marker, "fLaC", 4) != 0) {
        return std::nullopt;
    }
    TFLACBlocks blocks(source, audio.Begin + sizeof marker, audio.End);
    const std::optional<TFLACBlock> info = blocks.Next();
    if (!info || info->Type != kFLACStreamInfo || info->Size < kFLACStreamInfoSize) {
        return std::nullopt;
    }
    const uint8_t* body = blocks.Body(*info, kFLACStreamInfoSize);
    std::optional<TAudioProperties> properties = body ? StreamInfoProperties(body) : std::nullopt;
    if (!properties) {
        return std::nullopt;
    }
    if (!info->Last) {
        while (blocks.Next()) {
        }
    }
    if (!blocks.Broken() && properties->DurationMs) {
        properties->Bitrate = AverageBitrate(audio.End - blocks.End(), *properties->DurationMs);
    }
    return properties;
}

}  // namespace melodrix
