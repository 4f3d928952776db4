#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/tags/TextTag.h"

namespace melodrix {

// The "KEY=value" comment list that FLAC, Ogg Vorbis and Opus files share: a vendor text, a
// count, then length-prefixed UTF-8 entries. TITLE, ARTIST, ALBUM, DATE (or YEAR), COMMENT (or
// DESCRIPTION), GENRE, TRACKNUMBER (with TRACKTOTAL), DISCNUMBER (with DISCTOTAL) and
// ALBUMARTIST fill the tag's fields; keys match without case, several
// values of one key are joined with "; ". Bytes after the last entry are ignored. False, with the
// tag's fields untouched, when a count or a length claims more bytes than the list has.
bool ReadVorbisComments(std::span<const uint8_t> list, TTextTag& tag);

// The year of a date text: its first four characters when they are digits ("2004-05-17" gives
// "2004"), otherwise the text itself.
std::string YearOfDate(std::string_view date);

// Appends a value to the values gathered for one field, separated by "; ". Empty values add
// nothing.
void AppendJoined(std::string& joined, std::string_view value);

}  // namespace melodrix
