#pragma once

#include <pugixml.hpp>
#include <type_traits>

namespace melodrix {

// Calls visit(element) for every element below `root`, at any depth, in pre-order,
// without recursion (catalog files may nest without limit). A visitor that returns bool
// stops the walk by returning false.
template <typename Visit>
void ForEachDocumentItem(const pugi::xml_node& root, Visit&& visit) {
    pugi::xml_node node = root.first_child();
    while (node) {
        const bool element = node.type() == pugi::node_element;
        if (element) {
            if constexpr (std::is_same_v<std::invoke_result_t<Visit&, pugi::xml_node&>, bool>) {
                if (!visit(node)) {
                    return;
                }
            } else {
                visit(node);
            }
        }
        if (element && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling() && node.parent() != root) {
            node = node.parent();
        }
        node = node.next_sibling();
    }
}

}  // namespace melodrix
