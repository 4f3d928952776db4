#pragma once

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// How a field's values are ordered when a view sorts by it.
enum class TSortKind { Number, DateTime, Text, Unordered };
TSortKind SortKindOf(int field);

// Sorts every level of the tree: among siblings folders ("directory", trimmed) come
// first in both directions, then items are ordered by `field`: FileSize and the length
// and percentage fields as numbers (non-numbers count as 0), FileTime as locale times
// (empty first, unreadable last), FileType not at all, every other field as text with
// A-Z folded. Each item's key is computed once; ties keep their current order, so the
// order is a strict weak ordering whatever the stored texts are.
// `threads` as for TCatalogTree::ReorderAllLevels.
void SortCatalogTree(TCatalogTree& tree, int field, bool ascending, int threads = 0);

}  // namespace melodrix
