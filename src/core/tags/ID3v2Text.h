#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace melodrix {

// Decoding of the text in ID3v2 frame bodies. Encodings: 0 Windows-1252 (trimmed of blanks and
// control bytes), 1 UTF-16 with a byte-order mark, 2 UTF-16 big-endian, 3 UTF-8.

// A text frame body: the encoding byte, then the text. With `severalValues` (version 2.4) the
// values separated by zero characters are joined with "; "; otherwise the text ends at the first
// zero character. Nothing when the encoding is unknown, so the caller keeps its earlier value.
std::optional<std::string> DecodeTextFrame(std::span<const uint8_t> body, bool severalValues);

struct TCommentFrame {
    std::string Description;
    std::string Text;
};

// A comment body: the encoding byte, a three-letter language, a description ended by a zero
// character, then the comment. Nothing when the encoding is unknown or the body is too short.
std::optional<TCommentFrame> DecodeCommentFrame(std::span<const uint8_t> body);

}  // namespace melodrix
