#include "core/export/TextAppend.h"

#include "core/base/ByteScan.h"

namespace melodrix {

void AppendWithCrLf(std::string& out, std::string_view text) {
    if (!bytescan::HasAnyOf(text, "\r\n")) {
        out.append(text);
        return;
    }
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        out.append(text.substr(start, i - start));
        out.append(kCrLf);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    out.append(text.substr(start));
}

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    if (!bytescan::HasAnyOf(text, "&<>\"\r\n")) {
        out.append(text);
        return;
    }
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        std::string_view replacement;
        switch (text[i]) {
            case '&':
                replacement = "&amp;";
                break;
            case '<':
                replacement = "&lt;";
                break;
            case '>':
                replacement = "&gt;";
                break;
            case '"':
                replacement = "&quot;";
                break;
            case '\r':
                if (i + 1 < text.size() && text[i + 1] == '\n') {
                    // Drop the CR: the LF that follows writes the line end.
                    out.append(text.substr(start, i - start));
                    start = i + 1;
                    continue;
                }
                replacement = kCrLf;
                break;
            case '\n':
                replacement = kCrLf;
                break;
            default:
                continue;
        }
        out.append(text.substr(start, i - start));
        out.append(replacement);
        start = i + 1;
    }
    out.append(text.substr(start));
}

void AppendCsvField(std::string& out, std::string_view text, std::string_view separator) {
    const bool needsQuotes = text.find_first_of("\"\r\n") != std::string_view::npos ||
                             (!separator.empty() && text.find(separator) != std::string_view::npos);
    if (!needsQuotes) {
        out.append(text);
        return;
    }
    out.push_back('"');
    size_t start = 0;
    for (size_t quote = text.find('"'); quote != std::string_view::npos;
         quote = text.find('"', start)) {
        out.append(text.substr(start, quote + 1 - start));
        out.push_back('"');
        start = quote + 1;
    }
    out.append(text.substr(start));
    out.push_back('"');
}

}  // namespace melodrix
