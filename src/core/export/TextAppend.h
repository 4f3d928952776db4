#pragma once

#include <string>
#include <string_view>

namespace melodrix {

// Line end of every export file.
inline constexpr std::string_view kCrLf = "\r\n";

// Appends text with each CR, LF or CR LF turned into CR LF.
void AppendWithCrLf(std::string& out, std::string_view text);

// Appends text escaped for HTML (&, <, >, ") with line breaks turned into CR LF.
void AppendHtmlEscaped(std::string& out, std::string_view text);

// Appends a CSV field: enclosed in double quotes, inner quotes doubled, when it holds
// the separator, a quote, CR or LF; otherwise unchanged. Line breaks inside a quoted
// field stay as they are: they belong to the value.
void AppendCsvField(std::string& out, std::string_view text, std::string_view separator);

}  // namespace melodrix
