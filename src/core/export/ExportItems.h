#pragma once

#include <functional>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// The items a table export writes, each as its 17 texts, in pre-order: a walk hands every one
// to `each`. A walk over a tree, or over a catalog file read as it goes, so that a library
// catalog is exported without a tree in memory. A walk returns false when the catalog file
// holds something only the XML parser reads: the items handed on so far are then not all.
using TEachItem = std::function<void(const TItemTexts&)>;
using TItemWalk = std::function<bool(const TEachItem& each)>;

inline TItemWalk WalkTree(const TCatalogTree& tree) {
    return [&tree](const TEachItem& each) {
        ForEachNode(tree, [&](const TCatalogNode* node) { each(node->Item().AllFields()); });
        return true;
    };
}

}  // namespace melodrix
