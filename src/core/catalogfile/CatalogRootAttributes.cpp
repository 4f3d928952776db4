#include "core/catalogfile/CatalogRootAttributes.h"

namespace melodrix {

namespace {
constexpr std::string_view kGeneratedName = "generated";
constexpr std::string_view kGeneratedValue = "Vellumdex";
}  // namespace

std::vector<TRootAttribute> CatalogRootAttributes(const TCatalogTree& tree) {
    std::vector<TRootAttribute> attributes{{kGeneratedName, kGeneratedValue}};
    for (const auto& [name, value] : tree.Attributes().Entries()) {
        if (name != kGeneratedName) {
            attributes.emplace_back(name, value);
        }
    }
    return attributes;
}

void KeepCatalogRootAttribute(TCatalogTree& tree, std::string_view name, std::string_view value) {
    if (IsCatalogAttributeName(name)) {
        tree.Attributes().Set(name, value);
    }
}

}  // namespace melodrix
