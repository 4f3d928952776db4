#include "core/tags/TextTag.h"

namespace melodrix {

void TTextTag::Clear() {
    TagFound = false;
    Title.clear();
    Artist.clear();
    Album.clear();
    Year.clear();
    Comment.clear();
    Track.assign(1, '0');  // plain assignment of a literal trips a false GCC 12 warning
    Genre.clear();
    Disc.clear();
    AlbumArtist.clear();
}

bool TTextTag::Read(const QString& fileName) {
    Clear();
    TFileByteSource source(fileName);
    return source.IsOpen() && Read(source);
}

bool TTextTag::Read(IByteSource& source) {
    Clear();
    if (!ReadTag(source)) {
        Clear();
        return false;
    }
    return true;
}

}  // namespace melodrix
