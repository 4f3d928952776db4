#pragma once

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// How a field's values are ordered when a view sorts by it.
// Ordinal: the number a track or disc text starts with ("3" of "3/12").
enum class TSortKind { Number, Ordinal, DateTime, Text, Unordered };
TSortKind SortKindOf(int field);

// Sorts every level of the tree: among siblings folders ("directory", trimmed) come
// first in both directions, then items are ordered by `field`: FileSize, the length and
// percentage fields and the audio numbers as numbers (non-numbers count as 0), track and
// disc by their first number, FileTime as locale times
// (empty first, unreadable last), FileType not at all, every other field as text with
// A-Z folded. Each item's key is computed once; ties keep their current order, so the
// order is a strict weak ordering whatever the stored texts are.
// `threads` as for TCatalogTree::ReorderAllLevels.
void SortCatalogTree(TCatalogTree& tree, int field, bool ascending, int threads = 0);

}  // namespace melodrix
