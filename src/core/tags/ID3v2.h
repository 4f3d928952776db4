#pragma once

#include "core/tags/TextTag.h"

namespace melodrix {

// Reads title, artist, album, year, comment, track, genre, disc and album artist from the ID3v2
// tag at the start of a file (versions 2.2, 2.3 and 2.4). Texts are UTF-8; genre references
// such as "(17)" are replaced by their names, other genre texts are kept as written.
class TID3v2 final : public TTextTag {
private:
    bool ReadTag(IByteSource& source) override;
};

}  // namespace melodrix
