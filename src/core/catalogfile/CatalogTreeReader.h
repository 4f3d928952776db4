#pragma once

#include <array>
#include <cstdint>
#include <pugixml.hpp>
#include <string_view>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

class TCatalogStream;

// Both ways of reading a catalog's items into a tree, which give the same tree for every
// file both read: values decoded and mended as a parsed and mended document holds them,
// top-level items folders unless they say otherwise, and the disk name of the catalog file.

// Stores the texts of one item read from a catalog (values as decoded and mended, a bit per
// field that was present) as opening the catalog stores them.
void StoreCatalogItem(TFileItem& item, std::array<std::string_view, FieldCount>& texts,
                      uint32_t present, bool topLevel, std::string_view diskName);

// Appends the items of the stream to `tree`; false when the stream meets something only the
// XML parser reads (the tree then holds the items read so far).
bool StreamItemsToTree(TCatalogStream& stream, std::string_view diskName, TCatalogTree& tree);

// Appends the elements below `root`, at any depth, to `tree`.
void DocumentItemsToTree(const pugi::xml_node& root, std::string_view diskName, TCatalogTree& tree);

}  // namespace melodrix
