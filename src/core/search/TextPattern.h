#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/search/SearchConditions.h"

namespace re2 {
class RE2;
}

namespace melodrix {

// One text condition compiled for its mode. Case-insensitive comparison folds every letter by
// Unicode's full case folding ("björk" finds "BJÖRK", "strasse" finds "Straße"); texts that are
// all ASCII take a fast path that folds A-Z, which gives the same answer for them. A regular
// expression folds case by its library's rules (every letter, one for one).
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
    bool MatchesFolded(std::string_view value) const;

    std::string text_;
    std::string upper_;   // A-Z folded, for values and patterns that are all ASCII
    std::string folded_;  // fully folded, for the others
    bool asciiText_;
    TTextMode mode_;
    bool caseSensitive_;
    std::unique_ptr<re2::RE2> regex_;
};

}  // namespace melodrix
