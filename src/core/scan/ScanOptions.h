#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/archive/ArchiveReader.h"
#include "core/catalog/CatalogTree.h"
#include "core/catalog/DiskFacts.h"

namespace melodrix {

struct TTimeFormat;

// How a folder is scanned. The catalog records every choice but the time format's reader and
// the limits, so that an update scans the same way (ScanOptionsOf).
struct TScanOptions {
    // Upper-case extensions, each as "\.EXT\" ("\.MP3\"); empty: every file.
    QString MaskList;
    bool OnlyFolders = false;
    // Archives and disc images are listed with their entries below them, one level deep.
    bool Archives = false;
    // The names skipped, folders and files; nothing: DefaultExcludePatterns().
    std::optional<QStringList> Excludes;
    // Times are written in this format (the current locale's when null).
    const TTimeFormat* TimeFormat = nullptr;
    // Only measurements leave the audio properties out.
    bool ReadAudioProperties = true;
    TArchiveLimits ArchiveLimits;
    // What is recorded of the disk the folder is on; by default the volume's when the folder
    // is a volume's root, else nothing.
    std::function<std::optional<TDiskFacts>(const QString& folder)> DiskOf = &DiskFactsOfVolumeRoot;

    // The patterns that apply: Excludes, or the default ones.
    QStringList ExcludePatterns() const;
};

// The options a catalog says it was made with: its mask (the default one when it names
// none), only-folders and archive choices and its exclusion patterns.
TScanOptions ScanOptionsOf(const TCatalogAttributes& attributes);

// Records the options in the catalog's attributes. A choice left at what a catalog that does
// not name it means (no archives, the default patterns) is not written, so such a catalog
// reads and writes as before.
void RecordScanOptions(TCatalogAttributes& attributes, const TScanOptions& options,
                       const QString& folder);

}  // namespace melodrix
