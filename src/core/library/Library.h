#pragma once

#include <QString>

#include <optional>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/DiskFacts.h"

namespace melodrix {

// The catalog library: a directory whose sub-directories (at any depth) are groups and
// whose files are catalogs, read afresh into a tree whenever a window needs it.

inline const QString kLibraryRootName = QStringLiteral("CatalogLibrary");

// Creates the library directory with the groups "Mp3", "DVD", "Movie", "Book" and
// "Document" (in that order) when the directory is missing. An existing directory is left
// alone, even when empty. Failures are ignored: a missing library reads as an empty tree.
void CreateDefaultLibrary(const QString& libraryPath);

// Clears the tree and fills it from the library directory `path` (empty: the configured
// library): the root "CatalogLibrary", then groups and catalogs depth first in listing
// order, with summed group sizes and shares of the total. With `groupsOnly` catalogs are
// left out. A directory that cannot be listed simply has no children.
void FillLibraryTree(TCatalogTree& tree, const QString& path, bool groupsOnly);

// Replaces the FileSize of every group below `node` by the sum of the catalogs below it
// and returns the sum over the children of `node`.
double SumGroupSizes(TCatalogNode* node);

// The root gets "100"; every other node its share of the root's size ("0.00" pattern),
// unless the root's size is 0, when they keep an empty percentage.
void SetSizePercentages(TCatalogTree& tree);

// Orders two library nodes for a column of the library view (0 name, 1 time, 2 size,
// others name): groups before catalogs, then the column's comparison. Returns -1 or 1
// (0 only for equal names or times), with the field table's own comparison results.
int CompareLibraryNodes(const TCatalogNode* a, const TCatalogNode* b, int column);

// The disk a catalog file records (see DiskFacts.h), read from its root element only; nothing
// when it records none or cannot be read that way.
std::optional<TDiskFacts> CatalogDiskFacts(const QString& catalogFile);

// Sorts every level of the library tree by a view column, groups always first.
void SortLibraryTree(TCatalogTree& tree, int column, bool ascending);

}  // namespace melodrix
