#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace melodrix {

// Facts about a whole catalog (how it was made, which names the user changed), kept with
// its tree and stored as attributes of the catalog file's root element. Few and small:
// a list in the order they were first set.
class TCatalogAttributes {
public:
    using TEntry = std::pair<std::string, std::string>;

    // The value of `name`, or nullptr when it is not set.
    const std::string* Find(std::string_view name) const;
    std::string Value(std::string_view name, std::string_view fallback = {}) const;
    void Set(std::string_view name, std::string_view value);
    void Remove(std::string_view name);
    void Clear() { entries_.clear(); }
    bool IsEmpty() const { return entries_.empty(); }
    const std::vector<TEntry>& Entries() const { return entries_; }

private:
    std::vector<TEntry> entries_;
};

// The extension mask list a scan used ("\.MP3\"), and whether it kept folders only
// ("true"/"false").
inline constexpr std::string_view kScanMaskAttribute = "ScanMask";
inline constexpr std::string_view kOnlyFoldersAttribute = "OnlyFolders";
// The folder the scan was given, as given.
inline constexpr std::string_view kScanFolderAttribute = "ScanFolder";
// "true" when the scan looked inside archives and disc images; absent otherwise.
inline constexpr std::string_view kScanArchivesAttribute = "ScanArchives";
// The name patterns the scan skipped, as ExcludeListText writes them; absent when they were
// the default ones (also for catalogs made before there were patterns).
inline constexpr std::string_view kScanExcludesAttribute = "ScanExcludes";
// The disk a volume's root was scanned from, at the time of the scan (see DiskFacts.h).
inline constexpr std::string_view kDiskTotalBytesAttribute = "DiskTotalBytes";
inline constexpr std::string_view kDiskFreeBytesAttribute = "DiskFreeBytes";
inline constexpr std::string_view kDiskFileSystemAttribute = "DiskFileSystem";
inline constexpr std::string_view kDiskLabelAttribute = "DiskLabel";
// The names the user gave items in place of the scanned ones, by scanned relative path.
inline constexpr std::string_view kRenamedItemsAttribute = "RenamedItems";
// How the times of the items are written: the locale (its month names and AM/PM texts, by
// QLocale::name) and the QLocale date and time formats, so that they are read back as they
// were written under any locale.
inline constexpr std::string_view kScanLocaleAttribute = "ScanLocale";
inline constexpr std::string_view kScanDateFormatAttribute = "ScanDateFormat";
inline constexpr std::string_view kScanTimeFormatAttribute = "ScanTimeFormat";
// A catalog that does not say how it was made was made with this mask, files and folders.
inline constexpr std::string_view kDefaultScanMask = "\\.MP3\\";

// True for the attribute names a catalog reader keeps; every other one is ignored.
bool IsCatalogAttributeName(std::string_view name);

}  // namespace melodrix
