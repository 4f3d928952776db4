#pragma once

#include "core/tags/TextTag.h"

namespace melodrix {

// The codecs whose comment header the Ogg reader knows.
enum class TOggCodec { Unknown, Vorbis, Opus, FLAC };

// Reads the tag fields of an Ogg file (Vorbis, Opus, or FLAC in Ogg) from the comment header of
// its first logical stream: the stream's second packet, put together from the pages it spans.
// Pages of other streams are stepped over; only the comment packet's bytes are read, never the
// codec setup or the audio.
class TOggTag final : public TTextTag {
public:
    TOggCodec Codec = TOggCodec::Unknown;  // of the first stream, set when its first page is read

private:
    bool ReadTag(IByteSource& source) override;
};

}  // namespace melodrix
