#include "core/scan/ScannerTags.h"

#include <QFileInfo>
#include <algorithm>
#include <cctype>

#include "core/base/NativePaths.h"
#include "core/base/TextDecoding.h"
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

// The characters of Windows-1252 above the ASCII ones that Latin-1 lacks, in UTF-8: those
// an ID3v1 tag can hold besides U+0000-U+007F and U+00A0-U+00FF.
const std::string& Windows1252Extras() {
    static const std::string extras = [] {
        std::string bytes;
        for (int b = 0x80; b < 0xA0; ++b) {
            bytes += static_cast<char>(b);
        }
        return Windows1252ToUtf8(bytes);
    }();
    return extras;
}

bool FitsWindows1252(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - i);
        const std::string_view character = text.substr(i, length);
        // U+00A0-U+00FF are C2 A0-C2 BF and C3 80-C3 BF.
        const bool latin1 =
            length == 2 &&
            (lead == 0xC3 || (lead == 0xC2 && static_cast<unsigned char>(text[i + 1]) >= 0xA0));
        if (length > 1 && !latin1) {
            const std::string& extras = Windows1252Extras();
            // The replacement character stands for the five bytes without one, not for text.
            if (character == "\xEF\xBF\xBD" || extras.find(character) == std::string::npos) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// The first `count` characters of a UTF-8 text.
std::string_view FirstCharacters(std::string_view text, size_t count) {
    size_t at = 0;
    for (size_t seen = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && seen++ == count) {
            break;
        }
    }
    return text.substr(0, at);
}

// Whether ID3v1's text of a field of `size` bytes says what the other tag's does. Both are
// filled, else there is nothing to disagree about.
bool SameText(std::string_view v1, std::string_view other, size_t size) {
    v1 = TrimBlanks(v1);
    other = TrimBlanks(other);
    if (v1.empty() || other.empty() || v1 == other || !FitsWindows1252(other)) {
        return true;
    }
    // ID3v1 holds one byte per character: a longer text is kept as its beginning.
    return Utf8CharacterCount(other) > size && TrimBlanks(FirstCharacters(other, size)) == v1;
}

std::optional<int> LeadingNumber(std::string_view text) {
    text = TrimBlanks(text);
    int number = 0;
    size_t digits = 0;
    for (; digits < text.size() && digits < 6 && text[digits] >= '0' && text[digits] <= '9';
         ++digits) {
        number = number * 10 + (text[digits] - '0');
    }
    return digits > 0 ? std::optional<int>(number) : std::nullopt;
}

bool SameGenre(uint8_t index, std::string_view other) {
    other = TrimBlanks(other);
    if (index >= GenreCount || other.empty()) {
        return true;
    }
    const auto named = [other](std::string_view name) {
        return name.size() == other.size() &&
               std::equal(name.begin(), name.end(), other.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    // A genre the table does not name cannot be written to ID3v1 at all.
    return named(GenreNames[index]) || std::none_of(GenreNames.begin(), GenreNames.end(), named);
}

}  // namespace

std::string ID3Disagreement(const TID3v1& v1, const TTextTag& v2) {
    std::string fields;
    const auto differ = [&fields](const char* name) {
        fields += fields.empty() ? name : std::string(", ") + name;
    };
    if (!SameText(v1.Title, v2.Title, 30)) {
        differ("Title");
    }
    if (!SameText(v1.Artist, v2.Artist, 30)) {
        differ("Artist");
    }
    if (!SameText(v1.Album, v2.Album, 30)) {
        differ("Album");
    }
    if (!SameText(v1.Year, v2.Year, 4)) {
        differ("Year");
    }
    if (v1.Track != 0) {
        const std::optional<int> track = LeadingNumber(v2.Track);
        if (track && *track != 0 && *track != v1.Track) {
            differ("Track");
        }
    }
    if (!SameGenre(v1.GenreIndex, v2.Genre)) {
        differ("Genre");
    }
    return fields;
}

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
            if (richer == &id3v2_) {
                fields.ID3Mismatch = ID3Disagreement(id3v1_, id3v2_);
            }
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
