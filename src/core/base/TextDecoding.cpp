#include "core/base/TextDecoding.h"

#include <array>

namespace melodrix {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; zero marks the bytes the code page leaves undefined.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint == 0) {
        return;
    }
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = kReplacementCharacter;
    }
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            if (byte != 0) {
                out.push_back(c);
            }
        } else if (byte < 0xA0) {
            const char16_t mapped = kHighControls[byte - 0x80];
            AppendUtf8(out, mapped != 0 ? mapped : kReplacementCharacter);
        } else {
            AppendUtf8(out, byte);  // Latin-1 and Windows-1252 agree from 0xA0 on
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto unitAt = [&](size_t i) -> char16_t {
        const uint8_t first = bytes[2 * i];
        const uint8_t second = bytes[2 * i + 1];
        return bigEndian ? static_cast<char16_t>(first << 8 | second)
                         : static_cast<char16_t>(second << 8 | first);
    };
    for (size_t i = 0; i < units; ++i) {
        const char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char16_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        // A lone surrogate is turned into U+FFFD by AppendUtf8.
        AppendUtf8(out, unit);
    }
    return out;
}

size_t Utf8SequenceAt(std::string_view bytes, size_t at, size_t& taken) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    char32_t codePoint = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    }
    taken = 1;
    bool valid = length != 0;
    while (valid && taken < length) {
        if (at + taken >= bytes.size() || (byte(at + taken) & 0xC0) != 0x80) {
            valid = false;
            break;
        }
        codePoint = codePoint << 6 | (byte(at + taken) & 0x3F);
        ++taken;
    }
    if (valid && (codePoint < minimum || codePoint > 0x10FFFF ||
                  (codePoint >= 0xD800 && codePoint <= 0xDFFF))) {
        valid = false;
    }
    return valid ? length : 0;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t taken = 0;
        if (Utf8SequenceAt(bytes, i, taken) == 0) {
            return false;
        }
        i += taken;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            if (lead != 0) {
                out.push_back(static_cast<char>(lead));
            }
            ++i;
            continue;
        }
        size_t taken = 0;
        if (const size_t length = Utf8SequenceAt(bytes, i, taken)) {
            out.append(bytes.substr(i, length));
        } else {
            // One replacement for the lead byte and the continuation bytes that followed it.
            AppendUtf8(out, kReplacementCharacter);
        }
        i += taken;
    }
    return out;
}

size_t Utf8CharacterCount(std::string_view text) {
    size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

std::string_view TrimTrailingBlanks(std::string_view bytes) {
    while (!bytes.empty() && IsBlank(bytes.back())) {
        bytes.remove_suffix(1);
    }
    return bytes;
}

std::string_view TrimBlanks(std::string_view bytes) {
    bytes = TrimTrailingBlanks(bytes);
    while (!bytes.empty() && IsBlank(bytes.front())) {
        bytes.remove_prefix(1);
    }
    return bytes;
}

}  // namespace melodrix
