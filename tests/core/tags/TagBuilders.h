#pragma once

// Assemble the byte layouts of ID3v1, ID3v2 and APEv2 tags for tests and fuzzing seeds. Every
// helper returns plain bytes, so a test can cut, corrupt or combine them freely.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace melodrix::tagbytes {

inline std::string Bytes(std::initializer_list<uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

inline std::string BigEndian(uint32_t value, int count) {
    std::string out;
    for (int i = count - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

inline std::string Synchsafe(uint32_t value) {
    std::string out;
    for (int i = 3; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (7 * i)) & 0x7F));
    }
    return out;
}

inline std::string LittleEndian32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

// ---- ID3v1 ----

// A 128-byte record; `comment` may be up to 30 bytes and the caller may poke bytes 125 to 127.
inline std::string ID3v1Record(std::string_view title, std::string_view artist,
                               std::string_view album, std::string_view year,
                               std::string_view comment, uint8_t genre) {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    auto put = [&tag](size_t offset, size_t size, std::string_view text) {
        tag.replace(offset, std::min(size, text.size()), text.substr(0, size));
    };
    put(3, 30, title);
    put(33, 30, artist);
    put(63, 30, album);
    put(93, 4, year);
    put(97, 30, comment);
    tag[127] = static_cast<char>(genre);
    return tag;
}

// ---- ID3v2 ----

// The 10-byte tag header; `size` counts the bytes after it and is written synchsafe.
inline std::string ID3v2Header(uint8_t major, uint8_t flags, uint32_t size) {
    return "ID3" + Bytes({major, 0, flags}) + Synchsafe(size);
}

inline std::string ID3v2Tag(uint8_t major, std::string_view frames, uint8_t flags = 0,
                            size_t padding = 0) {
    std::string body(frames);
    body.append(padding, '\0');
    return ID3v2Header(major, flags, static_cast<uint32_t>(body.size())) + body;
}

// Frame of version 2.2: three-letter identifier, 24-bit size.
inline std::string Frame22(std::string_view id, std::string_view body) {
    return std::string(id) + BigEndian(static_cast<uint32_t>(body.size()), 3) + std::string(body);
}

// Frame of version 2.3: plain 32-bit size.
inline std::string Frame23(std::string_view id, std::string_view body, uint8_t formatFlags = 0) {
    return std::string(id) + BigEndian(static_cast<uint32_t>(body.size()), 4) +
           Bytes({0, formatFlags}) + std::string(body);
}

// Frame of version 2.4: synchsafe size of the bytes as stored.
inline std::string Frame24(std::string_view id, std::string_view body, uint8_t formatFlags = 0) {
    return std::string(id) + Synchsafe(static_cast<uint32_t>(body.size())) +
           Bytes({0, formatFlags}) + std::string(body);
}

inline std::string Latin1Body(std::string_view text) {
    return '\0' + std::string(text);
}
inline std::string Utf8Body(std::string_view text) {
    return '\x03' + std::string(text);
}

inline std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string out;
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return out;
}

// Encoding 1 with a little-endian byte-order mark.
inline std::string Utf16Body(std::u16string_view text) {
    return "\x01\xFF\xFE" + Utf16(text, false);
}

inline std::string CommentBody(uint8_t encoding, std::string_view description,
                               std::string_view text) {
    const bool wide = encoding == 1 || encoding == 2;
    return std::string(1, static_cast<char>(encoding)) + "eng" + std::string(description) +
           std::string(wide ? 2 : 1, '\0') + std::string(text);
}

// Inserts a zero after every 0xFF, as unsynchronisation does.
inline std::string Unsynchronise(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        out.push_back(c);
        if (static_cast<uint8_t>(c) == 0xFF) {
            out.push_back('\0');
        }
    }
    return out;
}

// ---- APEv2 ----

inline std::string ApeItem(std::string_view key, std::string_view value, uint32_t flags = 0) {
    return LittleEndian32(static_cast<uint32_t>(value.size())) + LittleEndian32(flags) +
           std::string(key) + '\0' + std::string(value);
}

constexpr uint32_t kApeHasHeader = 0x80000000u, kApeIsHeader = 0x20000000u;

// A 32-byte header or footer block.
inline std::string ApeBlock(uint32_t tagSize, uint32_t itemCount, uint32_t flags) {
    return "APETAGEX" + LittleEndian32(2000) + LittleEndian32(tagSize) + LittleEndian32(itemCount) +
           LittleEndian32(flags) + std::string(8, '\0');
}

// Items followed by a footer, with a header in front when asked.
inline std::string ApeTag(const std::vector<std::string>& items, bool withHeader) {
    std::string body;
    for (const std::string& item : items) {
        body += item;
    }
    const auto tagSize = static_cast<uint32_t>(body.size() + 32);
    const auto count = static_cast<uint32_t>(items.size());
    const uint32_t flags = withHeader ? kApeHasHeader : 0;
    std::string tag = withHeader ? ApeBlock(tagSize, count, flags | kApeIsHeader) : std::string();
    return tag + body + ApeBlock(tagSize, count, flags);
}

// Bytes that stand in for audio: no zero runs and no tag signatures.
inline std::string AudioLike(size_t size) {
    std::string out(size, '\0');
    uint32_t state = 0x12345678;
    for (char& c : out) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(0x40 | ((state >> 16) & 0x3F));
    }
    return out;
}

}  // namespace melodrix::tagbytes
