#pragma once

#include <string>
#include <string_view>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// Where an item stands in its catalog, told by what it is rather than by its node, so that
// an edit finds it again in the catalog as another writer left it: its FullPath, and how
// many items with the same path come before it (almost always none).
struct TItemLocation {
    std::string FullPath;
    size_t Occurrence = 0;
};

TItemLocation LocationOf(const TCatalogTree& tree, const TCatalogNode& node);
// The item at `location`, or nullptr when the catalog no longer holds it.
TCatalogNode* FindItem(const TCatalogTree& tree, const TItemLocation& location);

// Stores a text a user typed into one field of an item. A new FileName also renews the
// FullPath of the item (its parent's path and the new name) and of every descendant, with
// their PathNameLength; with `recordRename` the tree's rename record learns the name, so an
// update still finds the item on disk. FileNameLength follows the name in any case.
void EditCatalogItem(TCatalogTree& tree, TCatalogNode& node, int field, std::string_view text,
                     bool recordRename);

}  // namespace melodrix
