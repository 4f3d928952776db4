#pragma once

#include <cstdint>
#include <optional>

#include "core/tags/AudioBytes.h"
#include "core/tags/AudioProperties.h"

namespace melodrix {

// The properties a 34-byte STREAMINFO block body gives: sample rate, channels and, when the
// total of samples is known, the duration. Nothing for a sample rate of 0.
std::optional<TAudioProperties> StreamInfoProperties(const uint8_t* body);

// The properties of a FLAC stream whose "fLaC" is at `audio.Begin`: STREAMINFO, which must be
// the first block, and the bitrate of the frames after the last metadata block up to
// `audio.End`. Nothing when the marker or STREAMINFO is missing.
std::optional<TAudioProperties> ReadFLACAudioProperties(IByteSource& source, TAudioBytes audio);

}  // namespace melodrix
