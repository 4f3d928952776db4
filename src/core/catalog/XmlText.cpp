#include "core/catalog/XmlText.h"

#include <cstdint>
#include <string>

#include "core/base/ByteScan.h"

namespace melodrix {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
// Length of the valid UTF-8 sequence at text[i] that XML 1.0 may hold; 0 when invalid.
[[gnu::always_inline]] inline size_t XmlCharLength(std::string_view text, size_t i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        return (b0 >= 0x20 || b0 == '\t' || b0 == '\n' || b0 == '\r') ? 1 : 0;
    }
    size_t length = 0;
    uint32_t code = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        code = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        code = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        code = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (b & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF) {
        return 0;
    }
    return length;
}

}  // namespace

void SanitizeDocument(pugi::xml_node top) {
    std::string scratch;
    for (pugi::xml_node node = top; node;) {
        if (SanitizeForXml(node.name(), scratch)) {
            node.set_name(scratch.c_str());
        }
        if (SanitizeForXml(node.value(), scratch)) {
            node.set_value(scratch.c_str());
        }
        for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            if (SanitizeForXml(attribute.name(), scratch)) {
                attribute.set_name(scratch.c_str());
            }
            if (SanitizeForXml(attribute.value(), scratch)) {
                attribute.set_value(scratch.data(), scratch.size());
            }
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != top && !node.next_sibling()) {
            node = node.parent();
        }
        node = node == top ? pugi::xml_node() : node.next_sibling();
    }
}

bool SanitizeForXml(std::string_view text, std::string& out) {
    size_t i = 0;
    while (i < text.size()) {
        // Printable ASCII is by far the most common case: whole words of it first.
        i += bytescan::PrintableAsciiWords(text.substr(i));
        if (i == text.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x80) {
            ++i;
            continue;
        }
        const size_t length = XmlCharLength(text, i);
        if (length == 0) {
            break;
        }
        i += length;
    }
    if (i == text.size()) {
        return false;
    }
    out.assign(text.substr(0, i));
    while (i < text.size()) {
        const size_t length = XmlCharLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return true;
}

}  // namespace melodrix
