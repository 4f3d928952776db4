#include "core/tags/ID3v1.h"

#include <array>
#include <cstring>

#include "core/base/TextDecoding.h"

namespace melodrix {
namespace {

// A field ends at its first zero (taggers leave old bytes behind it) and loses its trailing
// padding; leading blanks are part of the text.
std::string FieldText(const std::array<uint8_t, kID3v1TagSize>& tag, size_t offset, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(tag.data()) + offset, size);
    bytes = bytes.substr(0, bytes.find('\0'));
    return Windows1252ToUtf8(TrimTrailingBlanks(bytes));
}

// An APEv2 header that starts 131 bytes before the end puts its "TAG" where an ID3v1 tag would
// begin; the "APE" before it and the "EX" after it give it away.
bool IsInsideApeBlock(IByteSource& source, uint64_t size,
                      const std::array<uint8_t, kID3v1TagSize>& tag) {
    if (size < kID3v1TagSize + 3 || tag[3] != 'E' || tag[4] != 'X') {
        return false;
    }
    char before[3];
    return source.ReadAt(size - kID3v1TagSize - 3, before, 3) && std::memcmp(before, "APE", 3) == 0;
}

}  // namespace

TID3v1::TID3v1() {
    Clear();
}

void TID3v1::Clear() {
    TagFound = false;
    Revision = 1;
    Title.clear();
    Artist.clear();
    Album.clear();
    Year.clear();
    Comment.clear();
    Track = 0;
    GenreIndex = 255;
}

bool TID3v1::Read(const QString& fileName) {
    Clear();
    TFileByteSource source(fileName);
    return source.IsOpen() && Read(source);
}

bool TID3v1::Read(IByteSource& source) {
    Clear();
    const std::optional<uint64_t> size = source.Size();
    std::array<uint8_t, kID3v1TagSize> tag{};
    if (!size || *size < kID3v1TagSize ||
        !source.ReadAt(*size - kID3v1TagSize, tag.data(), tag.size())) {
        return false;
    }
    if (tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G' || IsInsideApeBlock(source, *size, tag)) {
        return false;
    }
    TagFound = true;
    // 1.1 keeps a zero (some writers a blank) before the track byte; a real 1.0 comment of 30
    // characters rarely has exactly that shape at its end.
    const bool hasTrack = (tag[125] == 0 && tag[126] != 0) || (tag[125] == 32 && tag[126] != 32);
    Revision = hasTrack ? 2 : 1;
    Title = FieldText(tag, 3, 30);
    Artist = FieldText(tag, 33, 30);
    Album = FieldText(tag, 63, 30);
    Year = FieldText(tag, 93, 4);
    Comment = FieldText(tag, 97, hasTrack ? 28 : 30);
    if (hasTrack) {
        Track = tag[126];
    }
    GenreIndex = tag[127];
    return true;
}

}  // namespace melodrix
