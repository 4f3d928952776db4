#pragma once

#include <string>
#include <string_view>

namespace melodrix {

// The full Unicode case folding of a UTF-8 text, as UTF-8: "Straße" and "STRASSE" both give
// "strasse", "ÉDITH" gives "édith", "Кино" gives "кино". A byte that is not UTF-8 becomes
// U+FFFD first, as it reads once opened.
std::string FoldCaseUtf8(std::string_view text);

// Whether the text holds a byte outside ASCII.
bool HasNonAscii(std::string_view text);

// Whether the text holds a character outside ASCII whose full folding holds an ASCII one (ß
// gives ss, the Kelvin sign k, the ligature ﬁ fi). When it holds none, an ASCII text occurs in
// its folding only where it occurs in its ASCII letters folded A-Z: the fast test is the answer.
bool MayFoldToAscii(std::string_view text);

// The characters MayFoldToAscii looks for, for its test.
inline constexpr char32_t kFoldsToAscii[] = {0x00DF, 0x0130, 0x0149, 0x017F, 0x01F0, 0x1E96, 0x1E97,
                                             0x1E98, 0x1E99, 0x1E9A, 0x1E9E, 0x212A, 0xFB00, 0xFB01,
                                             0xFB02, 0xFB03, 0xFB04, 0xFB05, 0xFB06};

}  // namespace melodrix
