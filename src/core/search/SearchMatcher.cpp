#include "core/search/SearchMatcher.h"

#include <cstring>

#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

char Fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualFoldedAt(std::string_view value, size_t at, std::string_view upper) {
    for (size_t k = 0; k < upper.size(); ++k) {
        if (Fold(value[at + k]) != upper[k]) {
            return false;
        }
    }
    return true;
}

// Whether `upper` (already folded) occurs in `value` with A-Z folded.
bool ContainsFolded(std::string_view value, std::string_view upper) {
    if (upper.size() > value.size()) {
        return false;
    }
    const char first = upper.front();
    const char lower =
        (first >= 'A' && first <= 'Z') ? static_cast<char>(first - 'A' + 'a') : first;
    const size_t last = value.size() - upper.size();
    for (size_t i = 0; i <= last; ++i) {
        const char c = value[i];
        if ((c == first || c == lower) && EqualFoldedAt(value, i, upper)) {
            return true;
        }
    }
    return false;
}

}  // namespace

TSearchMatcher::TSearchMatcher(const TFileItem& conditions, bool caseSensitive, bool wholeWords)
    : caseSensitive_(caseSensitive), wholeWords_(wholeWords) {
    for (const int field : {FileName, FileExt, Description}) {
        const std::string_view text = conditions.Field(field);
        if (!text.empty()) {
            conditions_.push_back({FieldNames[field].data(), std::string(text), AsciiUpper(text)});
        }
    }
}

bool TSearchMatcher::ConditionHolds(size_t condition, bool present, std::string_view value) const {
    if (!present) {
        return false;
    }
    const TCondition& c = conditions_[condition];
    if (caseSensitive_) {
        if (value.find(c.text) == std::string_view::npos) {
            return false;
        }
    } else if (!ContainsFolded(value, c.upper)) {
        return false;
    }
    return !wholeWords_ || (value.size() == c.upper.size() && EqualFoldedAt(value, 0, c.upper));
}

bool TSearchMatcher::Matches(const pugi::xml_node& element) const {
    for (size_t i = 0; i < conditions_.size(); ++i) {
        const pugi::xml_attribute attribute = element.attribute(conditions_[i].attribute);
        if (!ConditionHolds(i, static_cast<bool>(attribute), attribute.value())) {
            return false;
        }
    }
    return true;
}

}  // namespace melodrix
