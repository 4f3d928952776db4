#include "core/search/Statistics.h"

#include <QString>
#include <algorithm>
#include <array>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>

#include "core/base/TextDecoding.h"
#include "core/search/SearchConditions.h"

namespace melodrix {

namespace {

constexpr size_t kGenresShown = 15;
constexpr size_t kArtistsShown = 20;
// An album claims at most this many tracks; a larger number is taken for a typing mistake.
constexpr int64_t kMostTracks = 999;

constexpr std::array<const char*, 5> kKindNames = {"music", "images", "video", "documents",
                                                   "other"};
constexpr size_t kMusic = 0;
constexpr std::array<const char*, 7> kBitrateBands = {
    "under 128", "128-191", "192-255", "256-319", "320 and over", "lossless", "unknown"};

bool SameLetters(std::string_view text, std::string_view lowerName) {
    return text.size() == lowerName.size() &&
           std::equal(text.begin(), text.end(), lowerName.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a + 32) : a) == b;
           });
}

bool IsOneOf(std::string_view extension, std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](std::string_view name) { return SameLetters(extension, name); });
}

// The extensions whose tags a scan reads: the files the tag health is about.
bool IsTaggedMusic(std::string_view extension) {
    return IsOneOf(extension, {"mp3", "flac", "ogg", "oga", "opus", "m4a", "mp4", "m4b"});
}

// The index into kKindNames of a file's kind.
size_t KindIndexOf(std::string_view extension) {
    if (IsTaggedMusic(extension) ||
        IsOneOf(extension, {"wav", "aif", "aiff", "wma", "ape", "wv", "mpc", "aac", "mp2", "mka",
                            "alac", "dsf", "mid", "midi"})) {
        return 0;
    }
    if (IsOneOf(extension, {"jpg", "jpeg", "png", "gif", "bmp", "tif", "tiff", "webp", "heic",
                            "svg", "ico"})) {
        return 1;
    }
    if (IsOneOf(extension, {"avi", "mkv", "mov", "wmv", "mpg", "mpeg", "m4v", "webm", "flv", "vob",
                            "ts", "3gp"})) {
        return 2;
    }
    if (IsOneOf(extension,
                {"txt", "pdf", "doc", "docx", "odt", "rtf",  "htm", "html", "xls", "xlsx", "ods",
                 "csv", "nfo", "cue", "log",  "m3u", "m3u8", "pls", "epub", "md",  "xml"})) {
        return 3;
    }
    return 4;
}

std::string Folded(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .trimmed()
        .toCaseFolded()
        .toStdString();
}

// An artist's name as several spellings of it share it: folded, without a leading "the" and
// without anything but letters and digits ("The Beatles", "beatles", "Beatles," meet).
std::string ArtistKey(std::string_view artist) {
    QString folded = QString::fromUtf8(artist.data(), static_cast<qsizetype>(artist.size()))
                         .trimmed()
                         .toCaseFolded();
    if (folded.startsWith(QLatin1String("the "))) {
        folded = folded.mid(4);
    }
    QString key;
    for (const QChar c : folded) {
        if (c.isLetterOrNumber()) {
            key += c;
        }
    }
    return key.toStdString();
}

std::string DecadeOf(std::string_view year) {
    const std::optional<int64_t> number = YearOfText(year);
    if (!number || *number < 1000 || *number > 9999) {
        return "unknown";
    }
    return std::to_string(*number / 10 * 10) + "s";
}

size_t BitrateBand(std::string_view mode, std::string_view bitrate) {
    if (mode == "lossless") {
        return 5;
    }
    const std::optional<int64_t> kbps = LeadingNumberOfText(bitrate);
    if (!kbps) {
        return 6;
    }
    return *kbps < 128 ? 0 : *kbps < 192 ? 1 : *kbps < 256 ? 2 : *kbps < 320 ? 3 : 4;
}

void Add(TTally& tally, uint64_t bytes, int64_t durationMs) {
    ++tally.files;
    tally.bytes += bytes;
    tally.durationMs += durationMs;
}

// Tallies by name, kept in the order names were first met until sorted.
class TTallies {
public:
    TTally& operator[](std::string_view name) {
        const auto [at, added] = index_.try_emplace(std::string(name), tallies_.size());
        if (added) {
            tallies_.push_back({std::string(name)});
        }
        return tallies_[at->second];
    }
    // Largest first by `key`, ties by name; beyond `shown` they are summed into "other".
    template <typename Key>
    std::vector<TTally> Largest(Key key, size_t shown) && {
        std::sort(tallies_.begin(), tallies_.end(), [&](const TTally& a, const TTally& b) {
            return key(a) != key(b) ? key(a) > key(b) : a.name < b.name;
        });
        if (tallies_.size() > shown) {
            TTally other{"other"};
            for (size_t i = shown; i < tallies_.size(); ++i) {
                other.files += tallies_[i].files;
                other.bytes += tallies_[i].bytes;
                other.durationMs += tallies_[i].durationMs;
            }
            tallies_.resize(shown);
            tallies_.push_back(std::move(other));
        }
        return std::move(tallies_);
    }
    std::vector<TTally> ByName() && {
        std::sort(tallies_.begin(), tallies_.end(),
                  [](const TTally& a, const TTally& b) { return a.name < b.name; });
        return std::move(tallies_);
    }

private:
    std::vector<TTally> tallies_;
    std::unordered_map<std::string, size_t> index_;
};

// What the album checks need of each album: its first file, its spellings of the artist and
// the track numbers it holds.
struct TAlbum {
    QString catalogFile;
    std::string firstPath;
    std::set<std::string> spellings;  // trimmed, as written
    std::set<int64_t> tracks;
    int64_t total = 0;  // the largest "of N" the tracks give
};

// Albums by a key, in the order they were first met.
struct TAlbums {
    std::vector<TAlbum> albums;
    std::map<std::string, size_t> index;

    TAlbum& Of(const std::string& key, const QString& catalogFile, std::string_view path) {
        const auto [at, added] = index.try_emplace(key, albums.size());
        if (added) {
            albums.push_back({catalogFile, std::string(path), {}, {}, 0});
        }
        return albums[at->second];
    }
};

template <size_t N>
std::array<TTally, N> Named(const std::array<const char*, N>& names) {
    std::array<TTally, N> tallies;
    for (size_t i = 0; i < N; ++i) {
        tallies[i].name = names[i];
    }
    return tallies;
}

class TGathering {
public:
    TGathering(TStatistics& figures, bool keepRows) : figures_(figures), keepRows_(keepRows) {}

    void Catalog(const QString& catalogFile, const std::vector<TFileItem>& items) {
        TCatalogTally catalog;
        catalog.catalogFile = catalogFile;
        for (const TFileItem& item : items) {
            Item(catalogFile, item, catalog);
        }
        figures_.catalogs.push_back(std::move(catalog));
    }

    void Finish() {
        for (const TTally& kind : kinds_) {
            if (kind.files > 0) {
                figures_.kinds.push_back(kind);
            }
        }
        figures_.genres =
            std::move(genres_).Largest([](const TTally& t) { return t.files; }, kGenresShown);
        figures_.codecs =
            std::move(codecs_).Largest([](const TTally& t) { return t.files; }, SIZE_MAX);
        figures_.artists =
            std::move(artists_).Largest([](const TTally& t) { return t.durationMs; }, SIZE_MAX);
        // Artists whose files give no playing time are not among the longest-playing.
        std::erase_if(figures_.artists, [](const TTally& t) { return t.durationMs <= 0; });
        if (figures_.artists.size() > kArtistsShown) {
            figures_.artists.resize(kArtistsShown);
        }
        figures_.decades = std::move(decades_).ByName();
        // "unknown" sorts after the digits already; nothing to move.
        for (size_t i = 0; i < bitrates_.size(); ++i) {
            if (bitrates_[i].files > 0) {
                figures_.bitrates.push_back(bitrates_[i]);
            }
        }
        for (const TAlbum& album : numbered_.albums) {
            TrackProblems(album);
        }
        for (const TAlbum& album : spellings_.albums) {
            SpellingProblems(album);
        }
    }

private:
    void Item(const QString& catalogFile, const TFileItem& item, TCatalogTally& catalog) {
        const TItemTexts texts = item.AllFields();
        ++catalog.items;
        if (catalog.diskName.empty()) {
            catalog.diskName = texts[DiskName];
        }
        if (TrimBlanks(texts[FileType]) == DirectoryType) {
            ++figures_.folders;
            return;
        }
        if (texts[FileType] != FileTypeFile) {
            return;
        }
        const uint64_t bytes = SizeOfText(texts[FileSize]).value_or(0);
        const int64_t durationMs = LeadingNumberOfText(texts[AudioDuration]).value_or(0);
        ++figures_.files;
        figures_.bytes += bytes;
        ++catalog.files;
        catalog.bytes += bytes;
        catalog.durationMs += durationMs;
        const size_t kind = KindIndexOf(texts[FileExt]);
        Add(kinds_[kind], bytes, durationMs);
        if (kind != kMusic) {
            return;
        }
        ++figures_.musicFiles;
        figures_.durationMs += durationMs;
        if (!texts[MP3_Genre].empty()) {
            Add(genres_[TrimBlanks(texts[MP3_Genre])], bytes, durationMs);
        }
        Add(decades_[DecadeOf(texts[MP3_Year])], bytes, durationMs);
        Add(codecs_[texts[AudioCodec].empty() ? std::string_view("unknown") : texts[AudioCodec]],
            bytes, durationMs);
        Add(bitrates_[BitrateBand(texts[AudioMode], texts[AudioBitrate])], bytes, durationMs);
        const std::string_view artist =
            TrimBlanks(texts[MP3_AlbumArtist]).empty() ? texts[MP3_Artist] : texts[MP3_AlbumArtist];
        if (!TrimBlanks(artist).empty()) {
            Add(artists_[TrimBlanks(artist)], bytes, durationMs);
        }
        if (IsTaggedMusic(texts[FileExt])) {
            FileProblems(catalogFile, texts);
        }
    }

    void FileProblems(const QString& catalogFile, const TItemTexts& texts) {
        if (TrimBlanks(texts[MP3_Title]).empty() || TrimBlanks(texts[MP3_Artist]).empty()) {
            Report(THealthProblem::MissingTitleOrArtist, catalogFile, texts[FullPath],
                   TrimBlanks(texts[MP3_Title]).empty() ? "no title" : "no artist");
        }
        for (const int field : {MP3_Title, MP3_Artist, MP3_Album}) {
            if (LooksMisdecoded(texts[field])) {
                Report(THealthProblem::MisdecodedText, catalogFile, texts[FullPath], texts[field]);
                break;
            }
        }
        // The scan compared the tags; the catalog keeps which fields differ.
        if (!texts[ID3Mismatch].empty()) {
            Report(THealthProblem::TagsDisagree, catalogFile, texts[FullPath], texts[ID3Mismatch]);
        }
        const std::string_view album = TrimBlanks(texts[MP3_Album]);
        if (album.empty()) {
            return;
        }
        const std::string_view artist =
            TrimBlanks(texts[MP3_AlbumArtist]).empty() ? texts[MP3_Artist] : texts[MP3_AlbumArtist];
        // Spellings are told apart within an album; the tracks within an album of one artist.
        const std::string albumKey = Folded(album);
        TAlbum& spelled = spellings_.Of(albumKey, catalogFile, texts[FullPath]);
        if (!TrimBlanks(artist).empty()) {
            spelled.spellings.emplace(TrimBlanks(artist));
        }
        TAlbum& numbered =
            numbered_.Of(albumKey + '\0' + ArtistKey(artist), catalogFile, texts[FullPath]);
        const std::string_view track = TrimBlanks(texts[MP3_Track]);
        if (const std::optional<int64_t> number = LeadingNumberOfText(track);
            number && *number > 0 && *number <= kMostTracks) {
            numbered.tracks.insert(*number);
            const size_t slash = track.find('/');
            if (slash != std::string_view::npos) {
                const std::optional<int64_t> total = LeadingNumberOfText(track.substr(slash + 1));
                if (total && *total <= kMostTracks) {
                    numbered.total = std::max(numbered.total, *total);
                }
            }
        }
    }

    // Several spellings of one name, not several artists.
    void SpellingProblems(const TAlbum& album) {
        std::map<std::string, std::vector<std::string>> byKey;
        for (const std::string& spelling : album.spellings) {
            byKey[ArtistKey(spelling)].push_back(spelling);
        }
        for (const auto& [key, spellings] : byKey) {
            if (spellings.size() > 1) {
                std::string detail;
                for (const std::string& spelling : spellings) {
                    detail += (detail.empty() ? "" : " / ") + spelling;
                }
                Report(THealthProblem::ArtistSpellings, album.catalogFile, album.firstPath, detail);
            }
        }
    }

    void TrackProblems(const TAlbum& album) {
        if (album.tracks.size() < 2) {
            return;  // a single track, as compilations and playlists hold, is no album
        }
        const int64_t last = std::max(album.total, *album.tracks.rbegin());
        std::string missing;
        int shown = 0;
        int64_t count = 0;
        for (int64_t n = 1; n <= last; ++n) {
            if (album.tracks.count(n) == 0) {
                ++count;
                if (shown++ < 10) {
                    missing += (missing.empty() ? "" : ", ") + std::to_string(n);
                }
            }
        }
        if (count > 0) {
            if (count > 10) {
                missing += ", ... (" + std::to_string(count) + " in all)";
            }
            Report(THealthProblem::TrackGap, album.catalogFile, album.firstPath,
                   "missing " + missing);
        }
    }

    void Report(THealthProblem problem, const QString& catalogFile, std::string_view path,
                std::string_view detail) {
        ++figures_.healthCounts[static_cast<size_t>(problem)];
        if (keepRows_) {
            figures_.healthRows.push_back(
                {problem, catalogFile, std::string(path), std::string(detail)});
        }
    }

    TStatistics& figures_;
    const bool keepRows_;
    TTallies genres_, decades_, codecs_, artists_;
    std::array<TTally, kKindNames.size()> kinds_ = Named<kKindNames.size()>(kKindNames);
    std::array<TTally, kBitrateBands.size()> bitrates_ = Named<kBitrateBands.size()>(kBitrateBands);
    TAlbums spellings_;  // by album
    TAlbums numbered_;   // by album and artist
};

}  // namespace

const char* HealthProblemName(THealthProblem problem) {
    switch (problem) {
        case THealthProblem::MissingTitleOrArtist:
            return "no title or artist";
        case THealthProblem::MisdecodedText:
            return "mis-decoded text";
        case THealthProblem::TrackGap:
            return "track numbers with gaps";
        case THealthProblem::ArtistSpellings:
            return "artist spelled several ways";
        case THealthProblem::TagsDisagree:
            return "ID3v1 and ID3v2 disagree";
    }
    return "";
}

const char* KindOfExtension(std::string_view extension) {
    return kKindNames[KindIndexOf(extension)];
}

bool LooksMisdecoded(std::string_view text) {
    // "Ã" is C3 83 and "Â" C3 82 in UTF-8; a Latin-1 supplement character after them is C2 xx
    // or C3 xx. Real text hardly ever has this pair.
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) == 0xC3 &&
            (static_cast<unsigned char>(text[i + 1]) == 0x83 ||
             static_cast<unsigned char>(text[i + 1]) == 0x82) &&
            (static_cast<unsigned char>(text[i + 2]) == 0xC2 ||
             static_cast<unsigned char>(text[i + 2]) == 0xC3)) {
            return true;
        }
    }
    return false;
}

TStatistics GatherStatistics(IProgressSink& progress, TSearchScope scope, const QString& scopePath,
                             const QString& linkRoot, bool healthRows,
                             const TCatalogHitsSink& eachCatalog) {
    TStatistics figures;
    TGathering gathering(figures, healthRows);
    TFileItem record;
    record.SetField(FullPath, scopePath.toUtf8().toStdString());
    TSearchOptions options;  // no condition: every item of every catalog
    options.linkRoot = linkRoot;
    TSearchLeftover leftover;
    figures.skipped =
        SearchCatalogsInto(progress, scope, record, options, leftover,
                           [&](const QString& catalogFile, std::vector<TFileItem>& items) {
                               if (eachCatalog) {
                                   eachCatalog(catalogFile, items);
                               }
                               gathering.Catalog(catalogFile, items);
                           });
    gathering.Finish();
    return figures;
}

}  // namespace melodrix
