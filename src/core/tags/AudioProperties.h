#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/tags/ByteSource.h"

namespace melodrix {

enum class TAudioCodec { MP1, MP2, MP3, FLAC, Vorbis, Opus, AAC, ALAC };
enum class TAudioMode { CBR, VBR, Lossless };

// What the stream itself says of its playing time and quality. A field is empty when the file
// does not tell it (an Ogg file cut before its last page has no duration, for one).
struct TAudioProperties {
    TAudioCodec Codec = TAudioCodec::MP3;
    std::optional<int64_t> DurationMs;  // whole milliseconds, encoder delay and padding removed
    std::optional<int> Bitrate;         // average kbit/s, rounded
    std::optional<int> SampleRate;      // Hz
    std::optional<int> Channels;
    std::optional<TAudioMode> Mode;
};

// "MP1", "MP2", "MP3", "FLAC", "Vorbis", "Opus", "AAC" or "ALAC".
std::string_view AudioCodecName(TAudioCodec codec);
// "CBR", "VBR" or "lossless".
std::string_view AudioModeName(TAudioMode mode);

// The container a file's name suggests. The first bytes decide; the name is only heard when
// they show no signature: an MPEG stream has none, and neither has an older QuickTime file.
enum class TAudioContainer { Unknown, MPEG, FLAC, Ogg, MP4 };

// Reads the audio properties of a music file of any of the known containers, told apart by
// their first bytes (after an ID3v2 tag). Nothing when the stream is not one of them or its
// headers are broken; the file's tags are read apart and are not affected. Reads a bounded
// number of bytes in a bounded number of calls whatever the file holds; the bytes asked for
// lie at the start, after the leading tag, and at the end, where the tag readers have been.
std::optional<TAudioProperties> ReadAudioProperties(
    IByteSource& source, TAudioContainer hint = TAudioContainer::Unknown);

// Rounded kbit/s of `bytes` played in `durationMs`; nothing for a zero duration.
std::optional<int> AverageBitrate(uint64_t bytes, int64_t durationMs);

}  // namespace melodrix
