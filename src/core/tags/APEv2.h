#pragma once

#include "core/tags/TextTag.h"

namespace melodrix {

// Reads title, artist, album, year, comment, track, genre, disc and album artist from an APEv2
// tag at the end of a file, found by its footer in the last 32 bytes or directly before a 128-byte
// ID3v1 tag.
class TAPEv2 final : public TTextTag {
private:
    bool ReadTag(IByteSource& source) override;
    void Store(std::string_view key, std::string_view value);
};

}  // namespace melodrix
