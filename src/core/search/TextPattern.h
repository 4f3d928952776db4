#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/search/SearchConditions.h"

namespace re2 {
class RE2;
}

namespace melodrix {

// One text condition compiled for its mode. Case-insensitive comparison folds A-Z only, as
// the plain search always has; a regular expression folds case by its library's rules.
// Every mode runs in time linear in the value (wildcards: value times pattern), so no
// pattern can stall a search.
class TTextPattern {
public:
    // Throws TSearchConditionError for a regular expression that does not compile.
    TTextPattern(std::string text, TTextMode mode, bool caseSensitive);
    ~TTextPattern();
    TTextPattern(TTextPattern&&) noexcept;
    TTextPattern& operator=(TTextPattern&&) noexcept;

    bool Matches(std::string_view value) const;

private:
    bool MatchesWildcard(std::string_view value) const;

    std::string text_;
    std::string upper_;
    TTextMode mode_;
    bool caseSensitive_;
    std::unique_ptr<re2::RE2> regex_;
};

}  // namespace melodrix
