#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/search/CaseFolding.h"
#include "core/search/TextPattern.h"

using namespace melodrix;

namespace {

bool Match(const char* pattern, const char* value, TTextMode mode = TTextMode::Contains,
           bool caseSensitive = false) {
    return TTextPattern(pattern, mode, caseSensitive).Matches(value);
}

}  // namespace

// Ignoring case folds every letter, not only A to Z, in every mode.
TEST(TextPattern, IgnoringCaseFoldsEveryLetter) {
    EXPECT_TRUE(Match("кино", "Группа КИНО"));
    EXPECT_TRUE(Match("björk", "BJÖRK - Homogenic"));
    EXPECT_TRUE(Match("édith", "ÉDITH PIAF"));
    EXPECT_TRUE(Match("ΣΟΦΙΑ", "σοφια"));
    // Full folding: ß is ss, so each spelling finds the others.
    EXPECT_TRUE(Match("strasse", "Die STRAßE"));
    EXPECT_TRUE(Match("straße", "DIE STRASSE"));
    EXPECT_TRUE(Match("STRASSE", "straße"));
    // A letter that folds to ASCII meets ASCII: the Kelvin sign and the fi ligature.
    EXPECT_TRUE(Match("\xE2\x84\xAA", "k"));       // U+212A
    EXPECT_TRUE(Match("\xEF\xAC\x81le", "FILE"));  // U+FB01
    EXPECT_FALSE(Match("björk", "bjork"));
    EXPECT_FALSE(Match("кино", "кинотеатр", TTextMode::Whole));

    EXPECT_TRUE(Match("BJÖRK", "björk", TTextMode::Whole));
    EXPECT_TRUE(Match("straße", "STRASSE", TTextMode::Whole));
    EXPECT_TRUE(Match("bj?rk*", "BJÖRK - Post", TTextMode::Wildcard));
    EXPECT_TRUE(Match("*ÉDITH*", "la môme édith", TTextMode::Wildcard));
    EXPECT_FALSE(Match("bj?rk", "BJÖRK - Post", TTextMode::Wildcard)) << "over the whole value";
    EXPECT_TRUE(Match("^кино$", "КИНО", TTextMode::Regex));

    // Case-sensitive matching is as it was.
    EXPECT_FALSE(Match("björk", "BJÖRK", TTextMode::Contains, true));
    EXPECT_FALSE(Match("strasse", "straße", TTextMode::Whole, true));
    EXPECT_TRUE(Match("Björk", "Björk", TTextMode::Whole, true));

    // A value that is not UTF-8 is read as it shows, with U+FFFD for the stray byte.
    EXPECT_TRUE(Match("caf", "CAF\xE9 noir"));
    EXPECT_TRUE(Match("noir", "CAF\xE9 NOIR"));
    EXPECT_FALSE(Match("café", "CAF\xE9"));
    EXPECT_EQ(FoldCaseUtf8("CAF\xE9"), "caf\xEF\xBF\xBD");
}

// For ASCII texts the fast path answers as plain folding of A-Z does, in every mode.
TEST(TextPattern, AsciiTextsAnswerAsAToZFolding) {
    std::mt19937 random(12345);
    const std::string letters = "aAbB*?xX- ";
    const auto text = [&](size_t most) {
        std::string s(random() % most, ' ');
        for (char& c : s) {
            c = letters[random() % letters.size()];
        }
        return s;
    };
    const auto lower = [](std::string s) {
        for (char& c : s) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return s;
    };
    for (int round = 0; round < 2000; ++round) {
        const std::string value = text(12), pattern = text(5);
        const std::string v = lower(value), p = lower(pattern);
        EXPECT_EQ(TTextPattern(pattern, TTextMode::Contains, false).Matches(value),
                  v.find(p) != std::string::npos)
            << pattern << " in " << value;
        EXPECT_EQ(TTextPattern(pattern, TTextMode::Whole, false).Matches(value), v == p);
        // A wildcard pattern matches its folded value exactly when it matches folded.
        EXPECT_EQ(TTextPattern(pattern, TTextMode::Wildcard, false).Matches(value),
                  TTextPattern(p, TTextMode::Wildcard, true).Matches(v))
            << pattern << " over " << value;
    }
}

// The characters the fast test must not overlook are exactly those whose full folding holds an
// ASCII character, over all of Unicode.
TEST(TextPattern, TheCharactersThatFoldToAsciiAreAllKnown) {
    std::vector<char32_t> found;
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        std::string utf8;
        if (c < 0x800) {
            utf8 = {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            utf8 = {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            utf8 = {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                    static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        }
        const std::string folded = FoldCaseUtf8(utf8);
        if (folded != utf8 && !std::all_of(folded.begin(), folded.end(), [](char b) {
                return static_cast<unsigned char>(b) >= 0x80;
            })) {
            found.push_back(c);
        }
        EXPECT_EQ(MayFoldToAscii(utf8),
                  std::find(std::begin(kFoldsToAscii), std::end(kFoldsToAscii), c) !=
                      std::end(kFoldsToAscii));
    }
    EXPECT_EQ(found, std::vector<char32_t>(std::begin(kFoldsToAscii), std::end(kFoldsToAscii)));
}
