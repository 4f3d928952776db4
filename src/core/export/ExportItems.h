#pragma once

#include <functional>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// The items a table export writes, each as its 17 texts, in pre-order: a walk hands every one
// to `each`. A walk over a tree, or over a catalog file read as it goes, so that a library
// catalog is exported without a tree in memory.
using TEachItem = std::function<void(const TItemTexts&)>;
using TItemWalk = std::function<void(const TEachItem& each)>;

inline TItemWalk WalkTree(const TCatalogTree& tree) {
    return [&tree](const TEachItem& each) {
        ForEachNode(tree, [&](const TCatalogNode* node) { each(node->Item().AllFields()); });
    };
}

}  // namespace melodrix
