#include "core/catalog/CatalogAttributes.h"

#include <algorithm>
#include <array>

namespace melodrix {

const std::string* TCatalogAttributes::Find(std::string_view name) const {
    for (const TEntry& entry : entries_) {
        if (entry.first == name) {
            return &entry.second;
        }
    }
    return nullptr;
}

std::string TCatalogAttributes::Value(std::string_view name, std::string_view fallback) const {
    const std::string* value = Find(name);
    return value ? *value : std::string(fallback);
}

void TCatalogAttributes::Set(std::string_view name, std::string_view value) {
    for (TEntry& entry : entries_) {
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    }
    entries_.emplace_back(name, value);
}

void TCatalogAttributes::Remove(std::string_view name) {
    std::erase_if(entries_, [&](const TEntry& entry) { return entry.first == name; });
}

bool IsCatalogAttributeName(std::string_view name) {
    static constexpr std::array<std::string_view, 13> kKnown = {
        kScanMaskAttribute,       kOnlyFoldersAttribute,   kScanFolderAttribute,
        kRenamedItemsAttribute,   kScanLocaleAttribute,    kScanDateFormatAttribute,
        kScanTimeFormatAttribute, kScanArchivesAttribute,  kScanExcludesAttribute,
        kDiskTotalBytesAttribute, kDiskFreeBytesAttribute, kDiskFileSystemAttribute,
        kDiskLabelAttribute};
    return std::find(kKnown.begin(), kKnown.end(), name) != kKnown.end();
}

}  // namespace melodrix
