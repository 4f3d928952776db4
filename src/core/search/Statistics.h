#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "core/catalog/FileItem.h"
#include "core/catalog/Sinks.h"
#include "core/search/Search.h"

namespace melodrix {

// One bar of a chart: how many files, how many bytes and how much playing time fall under a
// name (a kind of file, a genre, a decade...).
struct TTally {
    std::string name;
    uint64_t files = 0;
    uint64_t bytes = 0;
    int64_t durationMs = 0;
};

// One catalog of the scope, for putting catalogs side by side.
struct TCatalogTally {
    QString catalogFile;
    std::string diskName;
    uint64_t items = 0;  // files and folders, the catalog's top item included
    uint64_t files = 0;
    uint64_t bytes = 0;  // of its files
    int64_t durationMs = 0;
};

enum class THealthProblem {
    MissingTitleOrArtist,  // a music file without MP3_Title or MP3_Artist
    MisdecodedText,        // a title, artist or album that reads like UTF-8 decoded as Latin-1
    TrackGap,              // an album whose track numbers leave some out
    ArtistSpellings,       // an album whose artist is written in several ways
    TagsDisagree,          // an MP3 file whose ID3v1 and ID3v2 tags differ (ID3Mismatch)
};
inline constexpr size_t kHealthProblemCount = 5;

// "no title or artist", "mis-decoded text", "track numbers with gaps", "artist spelled
// several ways", "ID3v1 and ID3v2 disagree".
const char* HealthProblemName(THealthProblem problem);

// A row of the tag-health list: a file, or for an album's problem its first file, with what
// is wrong.
struct THealthRow {
    THealthProblem problem;
    QString catalogFile;
    std::string fullPath;
    std::string detail;  // the missing numbers, the spellings, the suspect text, the fields
};

// The figures of a catalog, a group or the whole library, from the catalog files alone.
struct TStatistics {
    uint64_t files = 0;
    uint64_t folders = 0;
    uint64_t bytes = 0;
    uint64_t musicFiles = 0;
    int64_t durationMs = 0;
    // "music", "images", "video", "documents", "other", each present, in that order.
    std::vector<TTally> kinds;
    // Music files by genre, most first (ties by name), the 15 most common then "other".
    std::vector<TTally> genres;
    // Music files by the decade of MP3_Year ("1990s"), in time order; "unknown" last.
    std::vector<TTally> decades;
    // Music files by codec, most first; "unknown" for files without one.
    std::vector<TTally> codecs;
    // Music files by bitrate band: "under 128", "128-191", "192-255", "256-319", "320 and
    // over", "lossless", "unknown", each present, in that order.
    std::vector<TTally> bitrates;
    // Playing time by artist (MP3_AlbumArtist, else MP3_Artist), the 20 longest.
    std::vector<TTally> artists;
    std::vector<TCatalogTally> catalogs;  // in the order searched
    // How many rows of each problem, by THealthProblem; the rows themselves when asked for.
    uint64_t healthCounts[kHealthProblemCount] = {};
    std::vector<THealthRow> healthRows;
    QStringList skipped;  // files of the scope that are not catalogs
};

// The extension groups of the kinds: "music" for the formats the scanner reads tags of and the
// other common audio ones, "images", "video", "documents", else "other".
const char* KindOfExtension(std::string_view extension);

// Whether the text looks like UTF-8 that was read as Latin-1 or Windows-1252 and written again
// ("CafÃ©" for "Café"): a capital A with tilde or circumflex followed by a character of the
// Latin-1 supplement.
bool LooksMisdecoded(std::string_view text);

// Reads every catalog of the group or catalog at scopePath, streamed, and gathers the figures.
// `healthRows` keeps the tag-health rows as well as their counts. Catalogs reached through
// symbolic links are read only when the link leads into `linkRoot` (empty: anywhere).
// `eachCatalog`, when given, sees each catalog's items before they are counted, so a caller
// that needs them too (the size map) reads the files only once.
TStatistics GatherStatistics(IProgressSink& progress, TSearchScope scope, const QString& scopePath,
                             const QString& linkRoot, bool healthRows,
                             const TCatalogHitsSink& eachCatalog = {});

}  // namespace melodrix
