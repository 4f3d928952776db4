#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

class TCatalogStream;

// Both ways of reading a catalog's items into a tree, which give the same tree for every
// file both read: values decoded and mended as a parsed and mended document holds them,
// top-level items folders unless they say otherwise, and the disk name of the catalog file.

// Completes the texts of one item read from a catalog (values as decoded and mended, a bit per
// field that was present) as opening the catalog completes them: the defaults of a top-level
// item, the disk name.
void CompleteCatalogItem(TItemTexts& texts, uint32_t present, bool topLevel,
                         std::string_view diskName);
// CompleteCatalogItem, then the texts stored in `item`.
void StoreCatalogItem(TFileItem& item, TItemTexts& texts, uint32_t present, bool topLevel,
                      std::string_view diskName);

// Reads the field attributes of the stream's current item into `texts` (cleared first),
// decoded and mended, using `decoded` and `mended` as scratch; the bits of the fields present,
// or nothing when a value needs the XML parser.
std::optional<uint32_t> ReadStreamedItem(const TCatalogStream& stream, TFieldNameMatcher& matcher,
                                         std::array<std::string, FieldCount>& decoded,
                                         std::array<std::string, FieldCount>& mended,
                                         TItemTexts& texts);

// Hands every item of the stream to `visit`, completed as opening the catalog keeps it, with
// its depth (0 for top-level items); the texts are valid during the call only. False when the
// stream meets something only the XML parser reads (`visit` has then seen the items so far).
bool StreamCatalogItems(TCatalogStream& stream, std::string_view diskName,
                        const std::function<void(const TItemTexts& texts, size_t depth)>& visit);

// Appends the items of the stream to `tree`; false when the stream meets something only the
// XML parser reads (the tree then holds the items read so far).
bool StreamItemsToTree(TCatalogStream& stream, std::string_view diskName, TCatalogTree& tree);

// Reads the catalog file straight into the tree, without a document, and records the file's
// stamp in it. Throws TCatalogFileError when the file cannot be read or parsed, and then
// leaves the tree as it was.
void ReadCatalogTreeFile(const QString& path, TCatalogTree& tree);

// Reads the catalog file through without keeping anything, to learn whether it can be opened:
// throws TCatalogFileError as ReadCatalogTreeFile would, for the same files.
void VerifyCatalogFile(const QString& path);

// Appends the elements below `root`, at any depth, to `tree`.
void DocumentItemsToTree(const pugi::xml_node& root, std::string_view diskName, TCatalogTree& tree);

}  // namespace melodrix
