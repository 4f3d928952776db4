#pragma once

#include <cstdint>
#include <optional>

#include "core/tags/ByteSource.h"

namespace melodrix {

// The stretch of a file that holds the audio: after an ID3v2 tag (with its footer) at the
// start, before the ID3v1, APEv2 and Lyrics3 tags at the end.
struct TAudioBytes {
    uint64_t Begin = 0;
    uint64_t End = 0;
    uint64_t Size() const { return End > Begin ? End - Begin : 0; }
};

// Where the tags at the end of a file begin: the file size when it has none. At most a few
// reads of the last bytes; nothing when they cannot be read.
std::optional<uint64_t> TrailingTagsStart(IByteSource& source, uint64_t fileSize);

// The audio bytes of a file whose stream may be wrapped in tags, as MP3 and FLAC files are.
// Nothing when the file's size is unknown or its ends cannot be read.
std::optional<TAudioBytes> FindAudioBytes(IByteSource& source);

}  // namespace melodrix
