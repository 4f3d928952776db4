#pragma once

#include <QString>
#include <string>

#include "core/tags/ByteSource.h"

namespace melodrix {

// The shape the ID3v2 and APEv2 readers share, so the scanner treats both alike: UTF-8
// texts, the genre as text, and one read contract. Track is "0" when the tag has none.
class TTextTag {
public:
    virtual ~TTextTag() = default;
    void Clear();
    // True when the file could be read, also when it has no tag (TagFound false). False
    // when it cannot be opened or the tag is broken; every field is then as after Clear.
    bool Read(const QString& fileName);
    bool Read(IByteSource& source);

    bool TagFound = false;
    std::string Title, Artist, Album, Year, Comment, Track = "0", Genre;
    // As the tag gives them: "2", or "2/3" with the number of discs; empty when it has none.
    std::string Disc, AlbumArtist;

protected:
    TTextTag() = default;
    // Reads the tag's fields after Clear; false on a broken tag or a failed read.
    virtual bool ReadTag(IByteSource& source) = 0;
};

}  // namespace melodrix
