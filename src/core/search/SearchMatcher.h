#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog/FileItem.h"

namespace melodrix {

// The test a search applies to each stored item: the conditions FileName, FileExt and
// Description of a record, in that order, each skipped when empty. A condition holds when
// the item has the attribute and the text occurs in it (A-Z folded unless case-sensitive);
// with whole words the whole value must also equal the text, case ignored.
class TSearchMatcher {
public:
    TSearchMatcher(const TFileItem& conditions, bool caseSensitive, bool wholeWords);

    bool Matches(const pugi::xml_node& element) const;
    // The same test on one value; `present` is false for an item without the attribute.
    bool ConditionHolds(size_t condition, bool present, std::string_view value) const;
    size_t ConditionCount() const { return conditions_.size(); }
    std::string_view ConditionField(size_t condition) const {
        return conditions_[condition].attribute;
    }

private:
    struct TCondition {
        const char* attribute;
        std::string text;
        std::string upper;
    };
    std::vector<TCondition> conditions_;
    bool caseSensitive_;
    bool wholeWords_;
};

}  // namespace melodrix
