#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace melodrix {

// Replaces what XML 1.0 cannot hold (C0 controls other than tab, LF and CR, invalid
// UTF-8, unpaired surrogates, U+FFFE and U+FFFF) by U+FFFD. Returns false and leaves
// `out` untouched when the text is clean already.
bool SanitizeForXml(std::string_view text, std::string& out);

// Mends, in a parsed document, what XML 1.0 cannot hold (invalid UTF-8, control characters
// given as character references), so every later reader and writer of the document (search,
// exports, the next save) works on well-formed text.
void SanitizeDocument(pugi::xml_node top);

}  // namespace melodrix
