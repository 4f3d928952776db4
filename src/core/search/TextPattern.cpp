#include "core/search/TextPattern.h"

#include <re2/re2.h>

#include "core/catalog/ValueFunctions.h"
#include "core/catalog/XmlText.h"
#include "core/search/CaseFolding.h"

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

// The end of the character starting at `at`: its UTF-8 continuation bytes belong to it. A
// stray continuation byte counts as a character of its own.
size_t CharacterEnd(std::string_view text, size_t at) {
    size_t end = at + 1;
    if (static_cast<unsigned char>(text[at]) >= 0xC0) {
        while (end < text.size() && end - at < 4 &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
    }
    return end;
}

// The classic two-cursor match: on a mismatch, go back to just after the last '*' and let
// it take one more character. Each '*' restarts at most once per value position, so the
// cost is bounded by value length times pattern length. With `foldAscii` the value's A-Z are
// folded to the upper-case pattern's.
bool MatchesWildcard(std::string_view value, std::string_view pattern, bool foldAscii) {
    size_t v = 0, p = 0;
    size_t starP = std::string_view::npos, starV = 0;
    while (v < value.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starV = v;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            v = CharacterEnd(value, v);
        } else if (p < pattern.size() && (foldAscii ? Fold(value[v]) : value[v]) == pattern[p]) {
            ++p;
            ++v;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starV = CharacterEnd(value, starV);
            v = starV;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::unique_ptr<re2::RE2> CompileRegex(const std::string& pattern, bool caseSensitive) {
    re2::RE2::Options options;
    options.set_log_errors(false);
    options.set_case_sensitive(caseSensitive);
    options.set_encoding(re2::RE2::Options::EncodingUTF8);
    return std::make_unique<re2::RE2>(pattern, options);
}

}  // namespace

QString RegexError(const std::string& pattern, bool caseSensitive) {
    const std::unique_ptr<re2::RE2> regex = CompileRegex(pattern, caseSensitive);
    return regex->ok() ? QString() : QString::fromStdString(regex->error());
}

TTextPattern::TTextPattern(std::string text, TTextMode mode, bool caseSensitive)
    : text_(std::move(text)),
      upper_(AsciiUpper(text_)),
      asciiText_(!HasNonAscii(text_)),
      mode_(mode),
      caseSensitive_(caseSensitive) {
    if (!caseSensitive_ && mode_ != TTextMode::Regex) {
        folded_ = FoldCaseUtf8(text_);
    }
    if (mode_ == TTextMode::Regex) {
        regex_ = CompileRegex(text_, caseSensitive_);
        if (!regex_->ok()) {
            throw TSearchConditionError(
                QStringLiteral("invalid regular expression \"%1\": %2")
                    .arg(QString::fromUtf8(text_.data(), static_cast<qsizetype>(text_.size())),
                         QString::fromStdString(regex_->error())));
        }
    }
}

TTextPattern::~TTextPattern() = default;
TTextPattern::TTextPattern(TTextPattern&&) noexcept = default;
TTextPattern& TTextPattern::operator=(TTextPattern&&) noexcept = default;

bool TTextPattern::Matches(std::string_view value) const {
    switch (mode_) {
        case TTextMode::Contains:
            if (caseSensitive_) {
                return value.find(text_) != std::string_view::npos;
            }
            // A match with only A-Z folded is a match with every letter folded.
            return ContainsFolded(value, upper_) || MatchesFolded(value);
        case TTextMode::Whole:
            if (caseSensitive_) {
                return value == text_;
            }
            return (value.size() == upper_.size() && EqualFoldedAt(value, 0, upper_)) ||
                   MatchesFolded(value);
        case TTextMode::Wildcard:
            if (caseSensitive_) {
                return MatchesWildcard(value, text_, false);
            }
            return MatchesFolded(value);
        case TTextMode::Regex: {
            // The expression sees the value as it reads once opened: a byte that is not
            // UTF-8 as U+FFFD, which its character classes can match.
            std::string mended;
            if (SanitizeForXml(value, mended)) {
                value = mended;
            }
            return re2::RE2::PartialMatch(
                re2::StringPiece(value.data(),
                                 static_cast<re2::StringPiece::size_type>(value.size())),
                *regex_);
        }
    }
    return false;
}

// The case-insensitive test with every letter folded. A value and a pattern that are both
// ASCII are answered with A-Z folded, which is the same and needs no conversion.
bool TTextPattern::MatchesFolded(std::string_view value) const {
    const bool asciiValue = !HasNonAscii(value);
    if (asciiText_ && mode_ == TTextMode::Wildcard && asciiValue) {
        return MatchesWildcard(value, upper_, true);
    }
    // For Contains and Whole the A-Z test has answered already when the pattern is ASCII and
    // no character of the value folds to ASCII; nearly every value is such.
    if (asciiText_ && mode_ != TTextMode::Wildcard && (asciiValue || !MayFoldToAscii(value))) {
        return false;
    }
    const std::string foldedValue = FoldCaseUtf8(value);
    switch (mode_) {
        case TTextMode::Contains:
            return foldedValue.find(folded_) != std::string::npos;
        case TTextMode::Whole:
            return foldedValue == folded_;
        case TTextMode::Wildcard:
            return MatchesWildcard(foldedValue, folded_, false);
        case TTextMode::Regex:
            break;
    }
    return false;
}

}  // namespace melodrix
