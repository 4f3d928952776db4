#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// The names the user typed in place of scanned ones, so that an update still finds a
// renamed item on disk. Each entry maps the item's scanned relative path (names as the
// scan gave them, joined by "/"; "" is the top-level item) to the name the user gave it.
// Keyed by the scanned path, an entry stays right when an ancestor is renamed later.
class TRenameRecord {
public:
    // Reads the record a tree keeps in its catalog attributes.
    static TRenameRecord Of(const TCatalogTree& tree);
    // Stores the record in the tree's catalog attributes (removes it when empty).
    void StoreIn(TCatalogTree& tree) const;

    // The attribute text: "path=name" entries joined by "|", with "%", "|", "=" and
    // control characters written as %XX.
    static TRenameRecord Parse(std::string_view text);
    std::string Text() const;

    const std::string* Find(const std::string& scannedPath) const;
    void Set(const std::string& scannedPath, std::string_view name);
    void Remove(const std::string& scannedPath) { entries_.erase(scannedPath); }
    bool IsEmpty() const { return entries_.empty(); }
    const std::map<std::string, std::string>& Entries() const { return entries_; }

private:
    std::map<std::string, std::string> entries_;
};

// Finds the scanned names of the children of one folder from their current names.
class TScannedNames {
public:
    explicit TScannedNames(const TRenameRecord& record);
    // The scanned name of each child of `node` (in row order), whose scanned relative
    // path is `nodePath`.
    std::vector<std::string_view> ChildrenOf(const TCatalogNode& node,
                                             const std::string& nodePath) const;

private:
    struct TRenamed {
        std::string_view scannedName;
        std::string_view userName;
    };
    std::unordered_map<std::string_view, std::vector<TRenamed>> byParent_;
};

// The scanned relative path of `node`, following the tree's rename record up from it.
std::string ScannedPathOf(const TCatalogTree& tree, const TCatalogNode& node);

// Notes in the tree's rename record that the user renames `node` to `newName`; call it
// before the item's FileName changes. Renaming back to the scanned name forgets the entry.
void RecordRename(TCatalogTree& tree, const TCatalogNode& node, std::string_view newName);

// Appends a name to a scanned relative path: "parent/name", or `name` below the top level.
void AppendPathComponent(std::string& path, std::string_view name);

}  // namespace melodrix
