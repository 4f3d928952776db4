#pragma once

// Looking things up in a scanned tree, for the scanner's tests.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog/CatalogTree.h"

namespace melodrix::testing {

inline std::string FieldText(const TCatalogNode* node, int field) {
    return std::string(node->Item().Field(field));
}

// The first node, in pre-order, whose FullPath ends with `suffix`; nullptr when none does.
inline TCatalogNode* NodeEndingWith(const TCatalogTree& tree, std::string_view suffix) {
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        if (node->Item().Field(FullPath).ends_with(suffix)) {
            return node;
        }
    }
    return nullptr;
}

// Every FullPath of the tree without its first `prefixLength` bytes, sorted.
inline std::vector<std::string> SortedPathsAfter(const TCatalogTree& tree, size_t prefixLength) {
    std::vector<std::string> paths;
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        paths.push_back(FieldText(node, FullPath).substr(prefixLength));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace melodrix::testing
