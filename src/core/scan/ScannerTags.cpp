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

// Track, disc and album artist, which came after the six.
void CopyAddedFields(const TTextTag& reader, TTagFields& fields) {
    // The readers say "0" for a tag without a track number; the catalog leaves it empty.
    if (reader.Track != "0") {
        fields.Track = reader.Track;
    }
    fields.Disc = reader.Disc;
    fields.AlbumArtist = reader.AlbumArtist;
}

void CopyTextTag(const TTextTag& reader, TTagFields& fields) {
    CopyCommonFields(reader, fields);
    fields.Genre = reader.Genre;
    CopyAddedFields(reader, fields);
}

TAudioContainer ContainerOf(TMusicFormat format) {
    switch (format) {
        case TMusicFormat::MP3:
            return TAudioContainer::MPEG;
        case TMusicFormat::FLAC:
            return TAudioContainer::FLAC;
        case TMusicFormat::Ogg:
            return TAudioContainer::Ogg;
        case TMusicFormat::MP4:
            return TAudioContainer::MP4;
        case TMusicFormat::Other:
            break;
    }
    return TAudioContainer::Unknown;
}

bool SameLetters(std::string_view text, std::string_view lowerName) {
    return text.size() == lowerName.size() &&
           std::equal(text.begin(), text.end(), lowerName.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a + 32) : a) == b;
           });
}

}  // namespace

TAudioTexts::TAudioTexts(const std::optional<TAudioProperties>& audio) {
    if (!audio) {
        return;
    }
    const auto text = [](const auto& value) {
        return value ? std::to_string(*value) : std::string();
    };
    duration = text(audio->DurationMs);
    bitrate = text(audio->Bitrate);
    sampleRate = text(audio->SampleRate);
    channels = text(audio->Channels);
    codec = AudioCodecName(audio->Codec);
    mode = audio->Mode ? std::string(AudioModeName(*audio->Mode)) : std::string();
}

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
    // One open file serves every reader that is asked, its two ends read once for all.
    TFileByteSource source =
        listedSize ? TFileByteSource(nativePath, *listedSize) : TFileByteSource(nativePath);
    edges_.Reset(source);
    const TTagKind kind = source.IsOpen() ? ReadSource(edges_, format, fields) : TTagKind::None;
    lastError_ = source.Error();
    if (lastError_ != 0) {
        // A read that failed part way found nothing it can vouch for.
        fields = TTagFields();
        return TTagKind::None;
    }
    if (readAudio_ && source.IsOpen()) {
        std::optional<TAudioProperties> audio = ReadAudioProperties(edges_, ContainerOf(format));
        // A failed read of the stream vouches for no property, but the tags were read whole.
        if (source.Error() == 0) {
            fields.Audio = std::move(audio);
        }
    }
    return kind;
}

TTagKind TTagReaders::Read(IByteSource& source, TMusicFormat format, TTagFields& fields) {
    fields = TTagFields();
    lastError_ = 0;
    edges_.Reset(source);
    const TTagKind kind = ReadSource(edges_, format, fields);
    if (readAudio_) {
        fields.Audio = ReadAudioProperties(edges_, ContainerOf(format));
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
    const bool v1 = id3v1_.Read(source) && id3v1_.TagFound;
    if (v1) {
        CopyCommonFields(id3v1_, fields);
        if (id3v1_.GenreIndex < GenreCount) {
            fields.Genre = GenreNames[id3v1_.GenreIndex];
        }
    }
    // ID3v1 supplies the six fields when it is there, but it has no disc or album artist and
    // at most a bare track number: those come from the richer tag when the file has one too.
    TTagKind kind = v1 ? TTagKind::ID3v1 : TTagKind::None;
    TTextTag* richer = nullptr;
    if (id3v2_.Read(source) && id3v2_.TagFound) {
        richer = &id3v2_;
        kind = v1 ? kind : TTagKind::ID3v2;
    } else if (apev2_.Read(source) && apev2_.TagFound) {
        richer = &apev2_;
        kind = v1 ? kind : TTagKind::APEv2;
    }
    if (richer) {
        if (v1) {
            CopyAddedFields(*richer, fields);
        } else {
            CopyTextTag(*richer, fields);
        }
    }
    if (v1 && fields.Track.empty() && id3v1_.Track != 0) {
        fields.Track = std::to_string(id3v1_.Track);
    }
    return kind;
}

}  // namespace melodrix
