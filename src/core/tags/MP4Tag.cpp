#include "core/tags/MP4Tag.h"

#include <cstring>
#include <span>

#include "core/base/TextDecoding.h"
#include "core/tags/Genres.h"
#include "core/tags/ID3v2Numbers.h"
#include "core/tags/MP4Atoms.h"
#include "core/tags/VorbisComments.h"

namespace melodrix {
namespace {

constexpr uint32_t kMovie = AtomType("moov"), kUserData = AtomType("udta"),
                   kMeta = AtomType("meta"), kItemList = AtomType("ilst"), kData = AtomType("data"),
                   kHandler = AtomType("hdlr");
constexpr uint32_t kTitle = AtomType("\xA9nam"),
                   kArtist = AtomType(
                       "\xA9"
                       "ART"),
                   kAlbumArtist = AtomType("aART"),
                   kAlbum = AtomType(
                       "\xA9"
                       "alb"),
                   kDay = AtomType(
                       "\xA9"
                       "day"),
                   kComment = AtomType(
                       "\xA9"
                       "cmt"),
                   kGenre = AtomType("\xA9gen"), kGenreNumber = AtomType("gnre"),
                   kTrack = AtomType("trkn"), kDisc = AtomType("disk");

constexpr int kMaxTopLevelAtoms = 1024;
// Every atom looked at inside the movie counts against this, however they nest.
constexpr int kMaxMovieAtoms = 4096;

// Type indicators of a data atom.
constexpr uint32_t kUtf8 = 1, kUtf16 = 2, kImplicit = 0, kSignedInteger = 21;
constexpr size_t kDataPrefix = 8;  // type indicator and locale

// The values of the item list, gathered before they are stored.
struct TGathered {
    std::string Title, Artist, AlbumArtist, Album, Day, Comment, Genre, Track, Disc;
    uint32_t GenreNumber = 0;

    std::string* TextField(uint32_t type) {
        switch (type) {
            case kTitle:
                return &Title;
            case kArtist:
                return &Artist;
            case kAlbumArtist:
                return &AlbumArtist;
            case kAlbum:
                return &Album;
            case kDay:
                return &Day;
            case kComment:
                return &Comment;
            case kGenre:
                return &Genre;
            default:
                return nullptr;
        }
    }

    // One data atom's contents (after its prefix) for the item of `type`.
    void Add(uint32_t type, uint32_t indicator, std::span<const uint8_t> value) {
        if (std::string* field = TextField(type)) {
            const std::string_view bytes(reinterpret_cast<const char*>(value.data()), value.size());
            if (indicator == kUtf8) {
                AppendJoined(*field, SanitizeUtf8(bytes));
            } else if (indicator == kUtf16) {
                AppendJoined(*field, Utf16ToUtf8(value, true));
            }
            return;
        }
        const bool number = indicator == kImplicit || indicator == kSignedInteger;
        if (type == kGenreNumber && number && value.size() >= 2 && GenreNumber == 0) {
            GenreNumber = BigEndianValue(value.data(), 2);
        } else if ((type == kTrack || type == kDisc) && indicator == kImplicit &&
                   value.size() >= 6) {
            // Two reserved bytes, the number, the total.
            std::string& field = type == kTrack ? Track : Disc;
            const uint32_t number = BigEndianValue(value.data() + 2, 2);
            const uint32_t total = BigEndianValue(value.data() + 4, 2);
            if (number > 0 && field.empty()) {
                field = std::to_string(number);
                if (total > 0) {
                    field += '/';
                    field += std::to_string(total);
                }
            }
        }
    }

    static bool Wanted(uint32_t type) {
        return type == kTitle || type == kArtist || type == kAlbumArtist || type == kAlbum ||
               type == kDay || type == kComment || type == kGenre || type == kGenreNumber ||
               type == kTrack || type == kDisc;
    }
};

// Walks the atoms inside the movie atom through one window, which never reaches past it.
class TMovieWalk {
public:
    TMovieWalk(IByteSource& source, const TMP4Atom& movie)
        : window_(source, movie.End), movie_(movie) {}

    // False when an atom on the way to the item list is broken; `found` tells whether the list
    // was there.
    bool Run(TGathered& gathered, bool& found);

private:
    // The first child of `type` between `begin` and `end`; nothing when there is none or a
    // header on the way is broken, which `broken` tells apart.
    std::optional<TMP4Atom> Child(uint64_t begin, uint64_t end, uint32_t type, bool& broken);
    bool ReadItem(const TMP4Atom& item, TGathered& gathered);

    TByteWindow window_;
    const TMP4Atom movie_;
    int budget_ = kMaxMovieAtoms;
};

std::optional<TMP4Atom> TMovieWalk::Child(uint64_t begin, uint64_t end, uint32_t type,
                                          bool& broken) {
    for (uint64_t position = begin; position < end;) {
        if (--budget_ < 0) {
            broken = true;
            return std::nullopt;
        }
        const std::optional<TMP4Atom> atom = ReadAtomHeader(window_, position, end);
        if (!atom) {
            // Fewer bytes than a header at the end of a container are padding, not damage.
            broken = end - position >= 8;
            return std::nullopt;
        }
        if (atom->Type == type) {
            return atom;
        }
        position = atom->End;
    }
    return std::nullopt;
}

bool TMovieWalk::Run(TGathered& gathered, bool& found) {
    found = false;
    bool broken = false;
    const std::optional<TMP4Atom> userData =
        Child(movie_.ContentStart, movie_.End, kUserData, broken);
    const std::optional<TMP4Atom> meta =
        userData ? Child(userData->ContentStart, userData->End, kMeta, broken) : std::nullopt;
    if (!meta) {
        return !broken;
    }
    // The meta atom normally has a version and flags before its children; some writers leave
    // them out, which shows as the handler atom's type right at the start.
    uint64_t children = meta->ContentStart;
    if (meta->End - children >= 8) {
        const uint8_t* head = window_.Get(children, 8);
        if (head == nullptr) {
            return false;
        }
        children += BigEndianValue(head + 4, 4) == kHandler ? 0 : 4;
    }
    const std::optional<TMP4Atom> list = Child(children, meta->End, kItemList, broken);
    if (!list) {
        return !broken;
    }
    found = true;
    for (uint64_t position = list->ContentStart; position < list->End;) {
        if (--budget_ < 0) {
            return false;
        }
        const std::optional<TMP4Atom> item = ReadAtomHeader(window_, position, list->End);
        if (!item) {
            return list->End - position < 8;
        }
        if (TGathered::Wanted(item->Type) && !ReadItem(*item, gathered)) {
            return false;
        }
        position = item->End;
    }
    return true;
}

bool TMovieWalk::ReadItem(const TMP4Atom& item, TGathered& gathered) {
    for (uint64_t position = item.ContentStart; position < item.End;) {
        if (--budget_ < 0) {
            return false;
        }
        const std::optional<TMP4Atom> data = ReadAtomHeader(window_, position, item.End);
        if (!data) {
            return item.End - position < 8;
        }
        const uint64_t size = data->End - data->ContentStart;
        if (data->Type == kData && size >= kDataPrefix) {
            const uint8_t* bytes = window_.Get(data->ContentStart, static_cast<size_t>(size));
            if (bytes == nullptr) {
                return false;
            }
            // The first byte of the indicator is a version; the other three are the type.
            const uint32_t indicator = BigEndianValue(bytes + 1, 3);
            gathered.Add(item.Type, indicator,
                         std::span<const uint8_t>(bytes + kDataPrefix, size - kDataPrefix));
        }
        position = data->End;
    }
    return true;
}

}  // namespace

bool TMP4Tag::ReadTag(IByteSource& source) {
    const std::optional<uint64_t> fileSize = source.Size();
    if (!fileSize) {
        return false;
    }
    // The top level is walked header by header: the media data between is skipped unread.
    // Past a thousand atoms the file is not taken for one that still has a movie to come
    // (fragmented files, the ones with many, put it first).
    int count = 0;
    for (uint64_t position = 0; position < *fileSize && count++ < kMaxTopLevelAtoms;) {
        const std::optional<TMP4Atom> atom = ReadAtomHeader(source, position, *fileSize);
        if (!atom) {
            // At the start this is no MP4 file; further on, a damaged or cut-off tail.
            return position == 0 || *fileSize - position < 8;
        }
        if (atom->Type == kMovie) {
            TGathered gathered;
            bool found = false;
            if (!TMovieWalk(source, *atom).Run(gathered, found)) {
                return false;
            }
            if (found) {
                TagFound = true;
                Title = std::move(gathered.Title);
                AlbumArtist = gathered.AlbumArtist;
                Artist =
                    std::move(gathered.Artist.empty() ? gathered.AlbumArtist : gathered.Artist);
                Album = std::move(gathered.Album);
                Year = YearOfDate(gathered.Day);
                Comment = std::move(gathered.Comment);
                if (!gathered.Genre.empty()) {
                    Genre = std::move(gathered.Genre);
                } else if (gathered.GenreNumber >= 1 && gathered.GenreNumber <= GenreCount) {
                    Genre = GenreNames[gathered.GenreNumber - 1];
                }
                if (!gathered.Track.empty()) {
                    Track = std::move(gathered.Track);
                }
                Disc = std::move(gathered.Disc);
            }
            return true;
        }
        position = atom->End;
    }
    return true;
}

}  // namespace melodrix
