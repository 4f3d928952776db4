#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"
#include "core/search/Search.h"

namespace melodrix {

// What makes two files copies of each other.
enum class TDuplicateKey {
    NameSize,          // the same FileName (exactly) and FileSize
    Size,              // the same FileSize
    ArtistTitle,       // MP3_Artist and MP3_Title, case-folded and trimmed, both non-empty
    ArtistAlbumTitle,  // the same with MP3_Album as well (the album may be empty)
    // ArtistTitle, and playing times (AudioDuration) within kDurationSlackMs of each other:
    // each run of times sorted without a larger gap is a group of its own.
    ArtistTitleDuration,
};

inline constexpr int64_t kDurationSlackMs = 2000;

// The command-line and configuration names: "name-size", "size", "artist-title",
// "artist-album-title", "artist-title-duration".
QString DuplicateKeyName(TDuplicateKey key);
std::optional<TDuplicateKey> DuplicateKeyOfName(const QString& name);

// The result of FindDuplicates besides its hits.
struct TDuplicates {
    int groups = 0;
    uint64_t extraBytes = 0;      // what all copies but the largest of each group take
    std::vector<int> groupOfHit;  // group number (from 1) of each top-level hit, in order
    QStringList skipped;          // files of the scope that are not catalogs
};

// The files of the group or catalog at scopePath that share the key, in groups of two or
// more, as a flat list ordered by group; each hit carries its catalog's disk name. Catalogs
// reached through symbolic links are read only when the link leads into `linkRoot` (see
// TSearchOptions::linkRoot; empty: anywhere).
// With `copies` (the search index, which makes reading a catalog again cheap) the scope is
// read twice, first keeping only the hash of each file's key, then only the files whose hash
// another file shares, so the memory used follows the copies found, not the files read. The
// result is the same; when a catalog changes between the two readings, it is read once more
// and every file gathered.
TDuplicates FindDuplicates(IProgressSink& progress, TSearchScope scope, const QString& scopePath,
                           TDuplicateKey key, const QString& linkRoot, TCatalogTree& result,
                           TSearchLeftover& leftover, ICatalogCopies* copies = nullptr);

// The hash of the key of a file given as its item texts, never 0; 0 when the file has no key
// (no size, an empty artist). Files with the same key have the same hash.
uint64_t DuplicateKeyHash(const TItemTexts& texts, TDuplicateKey key);

// Groups the files (each with its catalog's DiskName) by `key` and appends the groups of two
// or more to `result` as top-level items, moved out of `files`: groups in the order their
// first file was met, files within a group in the order they were met. `sources` names the
// catalog file of each file; each hit keeps it as its source catalog.
void GroupDuplicates(std::vector<TFileItem>& files, const std::vector<QString>& sources,
                     TDuplicateKey key, TDuplicates& duplicates, TCatalogTree& result);

}  // namespace melodrix
