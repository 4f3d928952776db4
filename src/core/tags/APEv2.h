#pragma once

#include <QString>
#include <string>

#include "core/tags/ByteSource.h"

namespace melodrix {

// Reads title, artist, album, year, comment, track and genre from an APEv2 tag at the end of a
// file, found by its footer in the last 32 bytes or directly before a 128-byte ID3v1 tag.
class TAPEv2 {
public:
    TAPEv2();
    void Clear();
    // True when the file could be read, also when it has no tag (TagFound false). False when it
    // cannot be opened or the tag is broken; every field is then as after Clear.
    bool Read(const QString& fileName);
    bool Read(IByteSource& source);

    bool TagFound;
    std::string Title, Artist, Album, Year, Comment, Track, Genre;

private:
    bool ReadTag(IByteSource& source);
    void Store(std::string_view key, std::string_view value);
};

}  // namespace melodrix
