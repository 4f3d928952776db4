#include "core/scan/ScannerTags.h"

#include <QFileInfo>
#include <algorithm>

#include "core/base/NativePaths.h"
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

void CopyTextTag(const TTextTag& reader, TTagFields& fields) {
    CopyCommonFields(reader, fields);
    fields.Genre = reader.Genre;
}

bool SameLetters(std::string_view text, std::string_view lowerName) {
    return text.size() == lowerName.size() &&
           std::equal(text.begin(), text.end(), lowerName.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a + 32) : a) == b;
           });
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
        case TTagKind::FLAC:
            return QStringLiteral("FLAC");
        case TTagKind::OggVorbis:
            return QStringLiteral("Ogg Vorbis");
        case TTagKind::Opus:
            return QStringLiteral("Opus");
        case TTagKind::OggFLAC:
            return QStringLiteral("Ogg FLAC");
        case TTagKind::MP4:
            return QStringLiteral("MP4");
        case TTagKind::None:
            break;
    }
    return QStringLiteral("none");
}

TMusicFormat MusicFormatOfExtension(std::string_view extension) {
    struct TName {
        std::string_view Extension;
        TMusicFormat Format;
    };
    static constexpr TName kNames[] = {{"mp3", TMusicFormat::MP3},  {"flac", TMusicFormat::FLAC},
                                       {"ogg", TMusicFormat::Ogg},  {"oga", TMusicFormat::Ogg},
                                       {"opus", TMusicFormat::Ogg}, {"m4a", TMusicFormat::MP4},
                                       {"mp4", TMusicFormat::MP4},  {"m4b", TMusicFormat::MP4}};
    for (const TName& name : kNames) {
        if (SameLetters(extension, name.Extension)) {
            return name.Format;
        }
    }
    return TMusicFormat::Other;
}

TTagKind TTagReaders::Read(const QString& path, TTagFields& fields) {
    const QByteArray suffix = QFileInfo(path).suffix().toLatin1();
    return Read(NativePathOf(path),
                MusicFormatOfExtension(
                    std::string_view(suffix.constData(), static_cast<size_t>(suffix.size()))),
                fields);
}

TTagKind TTagReaders::Read(const QByteArray& nativePath, TMusicFormat format, TTagFields& fields,
                           std::optional<uint64_t> listedSize) {
    fields = TTagFields();
    // One open file serves every reader that is asked.
    TFileByteSource source =
        listedSize ? TFileByteSource(nativePath, *listedSize) : TFileByteSource(nativePath);
    const TTagKind kind = source.IsOpen() ? ReadSource(source, format, fields) : TTagKind::None;
    lastError_ = source.Error();
    if (lastError_ != 0) {
        // A read that failed part way found nothing it can vouch for.
        fields = TTagFields();
        return TTagKind::None;
    }
    return kind;
}

TTagKind TTagReaders::ReadSource(IByteSource& source, TMusicFormat format, TTagFields& fields) {
    switch (format) {
        case TMusicFormat::FLAC:
            if (flac_.Read(source) && flac_.TagFound) {
                CopyTextTag(flac_, fields);
                return TTagKind::FLAC;
            }
            return TTagKind::None;
        case TMusicFormat::Ogg:
            if (ogg_.Read(source) && ogg_.TagFound) {
                CopyTextTag(ogg_, fields);
                return ogg_.Codec == TOggCodec::Opus   ? TTagKind::Opus
                       : ogg_.Codec == TOggCodec::FLAC ? TTagKind::OggFLAC
                                                       : TTagKind::OggVorbis;
            }
            return TTagKind::None;
        case TMusicFormat::MP4:
            if (mp4_.Read(source) && mp4_.TagFound) {
                CopyTextTag(mp4_, fields);
                return TTagKind::MP4;
            }
            return TTagKind::None;
        case TMusicFormat::MP3:
        case TMusicFormat::Other:
            break;
    }
    return ReadMp3(source, fields);
}

TTagKind TTagReaders::ReadMp3(IByteSource& source, TTagFields& fields) {
    if (id3v1_.Read(source) && id3v1_.TagFound) {
        CopyCommonFields(id3v1_, fields);
        if (id3v1_.GenreIndex < GenreCount) {
            fields.Genre = GenreNames[id3v1_.GenreIndex];
        }
        return TTagKind::ID3v1;
    }
    if (id3v2_.Read(source) && id3v2_.TagFound) {
        CopyTextTag(id3v2_, fields);
        return TTagKind::ID3v2;
    }
    if (apev2_.Read(source) && apev2_.TagFound) {
        CopyTextTag(apev2_, fields);
        return TTagKind::APEv2;
    }
    return TTagKind::None;
}

}  // namespace melodrix
