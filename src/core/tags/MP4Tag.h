#pragma once

#include "core/tags/TextTag.h"

namespace melodrix {

// Reads the tag fields of an MP4 audio file (.m4a, .mp4, .m4b) from the item list at
// moov/udta/meta/ilst: "\xA9nam" title, "\xA9ART" artist (or "aART" without it), "\xA9alb",
// "\xA9day" (its year), "\xA9cmt", "\xA9gen" (or the numeric "gnre", an ID3v1 genre counted from
// 1), "trkn", "disk" and "aART" album artist. The top-level atoms are walked by their headers only,
// so the movie atom is found at the start or after the audio without the audio being read.
class TMP4Tag final : public TTextTag {
private:
    bool ReadTag(IByteSource& source) override;
};

}  // namespace melodrix
