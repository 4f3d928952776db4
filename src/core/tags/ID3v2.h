#pragma once

#include <QString>
#include <string>

#include "core/tags/ByteSource.h"

namespace melodrix {

// Reads title, artist, album, year, comment, track and genre from the ID3v2 tag at the start of
// a file (versions 2.2, 2.3 and 2.4). Texts are UTF-8; the genre text is kept as written.
class TID3v2 {
public:
    TID3v2();
    void Clear();
    // True when the file could be read to the end of its frames, also when it has no tag
    // (TagFound false). False when it cannot be opened or the tag is broken; every field is then
    // as after Clear.
    bool Read(const QString& fileName);
    bool Read(IByteSource& source);

    bool TagFound;
    std::string Title, Artist, Album, Year, Comment, Track, Genre;

private:
    bool ReadTag(IByteSource& source);
};

}  // namespace melodrix
