#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace melodrix {

// Decoders from the text encodings found in tags to UTF-8. None of them ever yields a zero
// character: a tag field ends where its text ends, so zeros are dropped (callers that give zeros a
// meaning, such as value separators, split the bytes before decoding).

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

void AppendUtf8(std::string& out, char32_t codePoint);

// Windows-1252; the five bytes without a character there become U+FFFD.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-16 code units from byte pairs; an odd last byte is ignored and an unpaired surrogate
// becomes U+FFFD.
std::string Utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian);

// Takes valid UTF-8 over and replaces each malformed sequence (stray continuation bytes,
// overlong forms, surrogates, code points above U+10FFFF, cut-off sequences) by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

// The length of the well-formed UTF-8 sequence whose (non-ASCII) lead byte is at `at`: no
// overlong form, no surrogate, nothing above U+10FFFF; 0 when it is not one. `taken` is how
// many bytes the lead byte and the continuation bytes read after it span.
size_t Utf8SequenceAt(std::string_view bytes, size_t at, size_t& taken);
// Whether all of `bytes` is well-formed UTF-8 (ASCII, NUL included, is).
bool IsValidUtf8(std::string_view bytes);
// The characters (code points) of a UTF-8 text: the bytes that do not continue a sequence.
size_t Utf8CharacterCount(std::string_view text);

// Removes the leading and trailing bytes of value 32 or below (blanks, zeros, control bytes).
std::string_view TrimBlanks(std::string_view bytes);
std::string_view TrimTrailingBlanks(std::string_view bytes);

}  // namespace melodrix
