#pragma once

#include "core/tags/TextTag.h"

namespace melodrix {

// Reads the tag fields of a FLAC file from its VORBIS_COMMENT metadata block, found by walking
// the block headers after "fLaC" (an ID3v2 tag in front of it is stepped over). Other blocks,
// pictures included, are skipped by their headers; the audio frames are never read. A comment
// block whose list is malformed is skipped.
class TFLACTag final : public TTextTag {
private:
    bool ReadTag(IByteSource& source) override;
};

// Where "fLaC" starts: 0, or the end of an ID3v2 tag in front of it. Nothing when the bytes
// there cannot be read.
std::optional<uint64_t> StreamStartAfterID3v2(IByteSource& source, uint64_t fileSize);

}  // namespace melodrix
