#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "core/tags/APEv2.h"
#include "core/tags/AudioProperties.h"
#include "core/tags/EdgeCache.h"
#include "core/tags/FLACTag.h"
#include "core/tags/ID3v1.h"
#include "core/tags/ID3v2.h"
#include "core/tags/MP4Tag.h"
#include "core/tags/OggTag.h"

namespace melodrix {

// Which kind of tag supplied a music file's tag fields.
enum class TTagKind { None, ID3v1, ID3v2, APEv2, FLAC, OggVorbis, Opus, OggFLAC, MP4 };

// "ID3v1", "ID3v2", "APEv2", "FLAC", "Ogg Vorbis", "Opus", "Ogg FLAC", "MP4" or "none".
QString TagKindName(TTagKind kind);

// The container formats whose tags the scanner reads, told by the file's extension.
enum class TMusicFormat { Other, MP3, FLAC, Ogg, MP4 };

// The format of an extension without its dot, in any case ("mp3", "Flac", "M4A"...).
TMusicFormat MusicFormatOfExtension(std::string_view extension);

// What a catalog item stores of a music file: its tag texts (UTF-8; Track and Disc as the
// tag gives them, "3" or "3/12", empty when it has none) and what its audio stream says.
struct TTagFields {
    std::string Title, Artist, Album, Year, Comment, Genre;
    std::string Track, Disc, AlbumArtist;
    std::optional<TAudioProperties> Audio;
    // The fields an MP3 file's ID3v1 and ID3v2 tags give differently ("Title, Year"), see
    // ID3Disagreement; empty unless the file has both.
    std::string ID3Mismatch;
};

// The fields in which two tags of one file disagree, named "Title", "Artist", "Album", "Year",
// "Track" and "Genre" and joined by ", "; empty when they agree. Only fields both tags fill are
// compared, and only as far as ID3v1 can hold them: a text ID3v1 cut to its 30 (year: 4)
// characters agrees with the whole, a text with characters outside Windows-1252 or a genre
// outside the genre table is not compared, and the track only when ID3v1 has a track byte.
// Comments are left out: encoders write their own notes into them.
std::string ID3Disagreement(const TID3v1& v1, const TTextTag& v2);

// The stored texts of a file's audio properties (AudioDuration to AudioMode), empty where its
// stream does not tell.
struct TAudioTexts {
    std::string duration, bitrate, sampleRate, channels, codec, mode;

    TAudioTexts() = default;
    explicit TAudioTexts(const std::optional<TAudioProperties>& audio);
};

// One reader of each kind, made once and reused for every file of a scan. A file is read by
// the reader of its format. For MP3 the first kind that reads the file and finds a tag (ID3v1,
// then ID3v2, then APEv2) supplies the six fields, so an ID3v1 tag wins even when it is
// emptier; an ID3v1 genre byte beyond the genre table leaves the genre empty. Track, disc and
// album artist come from the ID3v2 or else the APEv2 tag when there is one, else from ID3v1's
// track number. When ID3v1 and ID3v2 are both there, the fields they disagree in are named in
// ID3Mismatch. The audio properties are read from the same open file after the tags; when they
// cannot be read the tags stay.
class TTagReaders {
public:
    // Without audio properties a read asks only for the tag bytes (for measuring their cost).
    explicit TTagReaders(bool readAudio = true) : readAudio_(readAudio) {}

    // Fills `fields` (emptied first) and tells which kind supplied them. A file of another
    // format is read as MP3, so any file can be asked about.
    TTagKind Read(const QString& path, TTagFields& fields);
    // The same for the file whose name on disk is exactly these bytes, read as `format`; with
    // `listedSize`, the size a directory listing has just given (see TFileByteSource).
    TTagKind Read(const QByteArray& nativePath, TMusicFormat format, TTagFields& fields,
                  std::optional<uint64_t> listedSize = std::nullopt);
    // The same for bytes that are not a file of their own (an entry of an archive).
    TTagKind Read(IByteSource& source, TMusicFormat format, TTagFields& fields);
    // The errno value with which the last Read failed to open or read its file; 0 when the
    // file was read (with or without a tag). Its fields are then empty but say nothing of
    // what the file holds.
    int LastError() const { return lastError_; }

private:
    TTagKind ReadSource(IByteSource& source, TMusicFormat format, TTagFields& fields);
    TTagKind ReadMp3(IByteSource& source, TTagFields& fields);

    TID3v1 id3v1_;
    TID3v2 id3v2_;
    TAPEv2 apev2_;
    TFLACTag flac_;
    TOggTag ogg_;
    TMP4Tag mp4_;
    TEdgeCache edges_;
    int lastError_ = 0;
    bool readAudio_ = true;
};

}  // namespace melodrix
