#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "core/tags/ByteSource.h"
#include "core/tags/Genres.h"

namespace melodrix {

// Reads the fixed 128-byte tag at the end of an MP3 file (the 1.0 layout and the 1.1 layout with
// a track byte). Texts are decoded from Windows-1252 to UTF-8.
class TID3v1 {
public:
    TID3v1();
    void Clear();
    // True exactly when the last 128 bytes begin with "TAG"; otherwise every field is cleared.
    bool Read(const QString& fileName);
    bool Read(IByteSource& source);

    bool TagFound;
    uint8_t Revision;  // 1: 30-byte comment; 2: 28-byte comment and a track byte
    std::string Title, Artist, Album, Year, Comment;
    uint8_t Track;       // 0 when the tag has none
    uint8_t GenreIndex;  // an index into GenreNames; 255 means no genre, >= GenreCount no name
};

inline constexpr int kID3v1TagSize = 128;

}  // namespace melodrix
