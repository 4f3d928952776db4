#pragma once

#include <QString>
#include <string>

#include "core/tags/APEv2.h"
#include "core/tags/ID3v1.h"
#include "core/tags/ID3v2.h"

namespace melodrix {

// Which kind of tag supplied an MP3 file's tag fields.
enum class TTagKind { None, ID3v1, ID3v2, APEv2 };

// "ID3v1", "ID3v2", "APEv2" or "none".
QString TagKindName(TTagKind kind);

// The six tag fields a catalog item stores, UTF-8.
struct TTagFields {
    std::string Title, Artist, Album, Year, Comment, Genre;
};

// One reader of each kind, made once and reused for every file of a scan. The first kind
// that reads the file and finds a tag (ID3v1, then ID3v2, then APEv2) supplies all six
// fields, so an ID3v1 tag wins even when it is emptier; an ID3v1 genre byte beyond the
// genre table leaves the genre empty.
class TTagReaders {
public:
    // Fills `fields` (emptied first) and tells which kind supplied them.
    TTagKind Read(const QString& path, TTagFields& fields);
    // The same for the file whose name on disk is exactly these bytes.
    TTagKind Read(const QByteArray& nativePath, TTagFields& fields);

private:
    TID3v1 id3v1_;
    TID3v2 id3v2_;
    TAPEv2 apev2_;
};

}  // namespace melodrix
