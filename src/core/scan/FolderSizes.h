#pragma once

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// Works out again, as a scan does, each folder's size from the items below it and every
// item's share of the top-level item's size, for a tree whose items changed after its scan.
void ComputeFolderSizes(TCatalogTree& tree);

}  // namespace melodrix
