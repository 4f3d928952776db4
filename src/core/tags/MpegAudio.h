#pragma once

#include <optional>

#include "core/tags/AudioBytes.h"
#include "core/tags/AudioProperties.h"

namespace melodrix {

// The properties of an MPEG audio stream (MP3, and MPEG layers I and II) lying in `audio`.
// The duration comes from a Xing, Info or VBRI header, less the encoder delay and padding of a
// LAME tag; without such a header, from the first frame's bitrate when the frames at the start
// and in the middle share it (CBR), otherwise from a walk over the frames that stops after a
// few megabytes and scales what it counted to the rest. Nothing when no frame is found near
// the start, or for the free format, whose frames do not give their own size.
std::optional<TAudioProperties> ReadMpegAudioProperties(IByteSource& source, TAudioBytes audio);

}  // namespace melodrix
