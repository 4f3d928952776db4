#pragma once

#include <optional>

#include "core/tags/AudioProperties.h"

namespace melodrix {

// The properties of an Ogg file's first logical stream (Vorbis, Opus, or FLAC in Ogg): rate and
// channels from its identification header on the first page, the duration from the granule
// position of the stream's last page (less Opus's pre-skip), found among the last pages of the
// file, and the bitrate of the whole file over that time. Nothing when the first page is not
// the start of a stream of these codecs; no duration when the last page is not found.
std::optional<TAudioProperties> ReadOggAudioProperties(IByteSource& source);

}  // namespace melodrix
