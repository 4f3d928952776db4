#include "core/scan/ScannerTags.h"

#include "core/catalog/NativePaths.h"
#include "core/tags/ByteSource.h"
#include "core/tags/Genres.h"

namespace melodrix {

namespace {

template <typename Reader>
void CopyCommonFields(const Reader& reader, TTagFields& fields) {
    fields.Title = reader.Title;
    fields.Artist = reader.Artist;
    fields.Album = reader.Album;
    fields.Year = reader.Year;
    fields.Comment = reader.Comment;
}

}  // namespace

QString TagKindName(TTagKind kind) {
    switch (kind) {
        case TTagKind::ID3v1:
            return QStringLiteral("ID3v1");
        case TTagKind::ID3v2:
            return QStringLiteral("ID3v2");
        case TTagKind::APEv2:
            return QStringLiteral("APEv2");
        case TTagKind::None:
            break;
    }
    return QStringLiteral("none");
}

TTagKind TTagReaders::Read(const QString& path, TTagFields& fields) {
    return Read(NativePathOf(path), fields);
}

TTagKind TTagReaders::Read(const QByteArray& nativePath, TTagFields& fields) {
    fields = TTagFields();
    // One open file serves all three readers.
    TFileByteSource source(nativePath);
    if (!source.IsOpen()) {
        return TTagKind::None;
    }
    if (id3v1_.Read(source) && id3v1_.TagFound) {
        CopyCommonFields(id3v1_, fields);
        if (id3v1_.GenreIndex < GenreCount) {
            fields.Genre = GenreNames[id3v1_.GenreIndex];
        }
        return TTagKind::ID3v1;
    }
    if (id3v2_.Read(source) && id3v2_.TagFound) {
        CopyCommonFields(id3v2_, fields);
        fields.Genre = id3v2_.Genre;
        return TTagKind::ID3v2;
    }
    if (apev2_.Read(source) && apev2_.TagFound) {
        CopyCommonFields(apev2_, fields);
        fields.Genre = apev2_.Genre;
        return TTagKind::APEv2;
    }
    return TTagKind::None;
}

}  // namespace melodrix
