#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

using TRootAttribute = std::pair<std::string_view, std::string_view>;

// The attributes of the root element of a tree's catalog file, in the order they are
// written: "generated" first, then the tree's catalog attributes. Views into the tree.
std::vector<TRootAttribute> CatalogRootAttributes(const TCatalogTree& tree);

// Keeps an attribute of a catalog file's root element in the tree when the catalog knows
// it; every other one is ignored.
void KeepCatalogRootAttribute(TCatalogTree& tree, std::string_view name, std::string_view value);

}  // namespace melodrix
