#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "core/catalog/CatalogAttributes.h"

namespace melodrix {

// What a catalog records of the disk it was made from, at the time of the scan.
struct TDiskFacts {
    uint64_t TotalBytes = 0;
    uint64_t FreeBytes = 0;  // what the user may still write there
    QString FileSystem;      // "ext4", "vfat", "iso9660"...
    QString Label;           // empty when the volume has none

    bool operator==(const TDiskFacts&) const = default;
};

// The facts of the volume whose root `folder` is; nothing for a folder below a volume's root,
// whose catalog is of the folder, not of the disk.
std::optional<TDiskFacts> DiskFactsOfVolumeRoot(const QString& folder);

// Writes the facts as the catalog attributes DiskTotalBytes, DiskFreeBytes, DiskFileSystem and
// DiskLabel; without facts, removes them.
void RecordDiskFacts(TCatalogAttributes& attributes, const std::optional<TDiskFacts>& facts);
// The facts a catalog records; nothing when it records no sizes.
std::optional<TDiskFacts> RecordedDiskFacts(const TCatalogAttributes& attributes);

// A number of bytes in decimal units, three significant digits at most: "12.4 GB", "64 GB",
// "980 MB", "512 bytes".
QString ByteSizeText(uint64_t bytes);
// "12.4 GB free of 64 GB".
QString DiskSpaceText(const TDiskFacts& facts);

}  // namespace melodrix
