#pragma once

#include <optional>

#include "core/tags/AudioProperties.h"

namespace melodrix {

// The properties of an MP4 audio file (.m4a, .mp4, .m4b): the duration from the movie header
// (mvhd, which counts the edit list, so AAC's priming samples are left out) or else the sound
// track's media header (mdhd); codec, rate and channels from the sound track's sample
// description (AAC by its decoder configuration, ALAC by its own atom); the bitrate of the
// media data atoms over the duration. The top-level atoms are walked by their headers only.
// Nothing without a movie atom holding a sound track.
std::optional<TAudioProperties> ReadMP4AudioProperties(IByteSource& source);

}  // namespace melodrix
