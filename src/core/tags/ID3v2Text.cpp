#include "core/tags/ID3v2Text.h"

#include <string_view>

#include "core/base/TextDecoding.h"

namespace melodrix {
namespace {

constexpr uint8_t kLatin1 = 0, kUtf16WithBom = 1, kUtf16BigEndian = 2, kUtf8 = 3;

bool IsWide(uint8_t encoding) {
    return encoding == kUtf16WithBom || encoding == kUtf16BigEndian;
}

// The length of the text up to its zero character (a zero byte, or a zero unit on an even offset
// in UTF-16), and the length including the terminator; both are the whole span when there is none.
struct TTerminated {
    size_t TextSize;
    size_t WithTerminator;
};

TTerminated FindTerminator(std::span<const uint8_t> bytes, uint8_t encoding) {
    if (IsWide(encoding)) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            if (bytes[i] == 0 && bytes[i + 1] == 0) {
                return {i, i + 2};
            }
        }
    } else {
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == 0) {
                return {i, i + 1};
            }
        }
    }
    return {bytes.size(), bytes.size()};
}

// Decodes one value without terminator. `bigEndian` carries the byte order of UTF-16 from one
// value to the next, as only the first value of a frame is sure to have a byte-order mark.
std::string DecodeValue(std::span<const uint8_t> bytes, uint8_t encoding,
                        std::optional<bool>& bigEndian) {
    switch (encoding) {
        case kLatin1: {
            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            return Windows1252ToUtf8(TrimBlanks(text));
        }
        case kUtf8: {
            std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            if (text.starts_with("\xEF\xBB\xBF")) {
                text.remove_prefix(3);
            }
            return SanitizeUtf8(text);
        }
        default: {
            if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
                bigEndian = false;
                bytes = bytes.subspan(2);
            } else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
                bigEndian = true;
                bytes = bytes.subspan(2);
            } else if (encoding == kUtf16BigEndian) {
                bigEndian = true;
            }
            // UTF-16 whose byte order is nowhere given cannot be read reliably.
            return bigEndian ? Utf16ToUtf8(bytes, *bigEndian) : std::string();
        }
    }
}

std::string DecodeValues(std::span<const uint8_t> bytes, uint8_t encoding, bool severalValues) {
    std::optional<bool> bigEndian;
    std::string joined;
    while (!bytes.empty()) {
        const TTerminated value = FindTerminator(bytes, encoding);
        const std::string text = DecodeValue(bytes.first(value.TextSize), encoding, bigEndian);
        if (!text.empty()) {
            if (!joined.empty()) {
                joined += "; ";
            }
            joined += text;
        }
        if (!severalValues || (IsWide(encoding) && !bigEndian.has_value())) {
            break;
        }
        bytes = bytes.subspan(value.WithTerminator);
    }
    return joined;
}

bool IsKnownEncoding(uint8_t encoding) {
    return encoding <= kUtf8;
}

}  // namespace

std::optional<std::string> DecodeTextFrame(std::span<const uint8_t> body, bool severalValues) {
    if (body.empty() || !IsKnownEncoding(body[0])) {
        return std::nullopt;
    }
    return DecodeValues(body.subspan(1), body[0], severalValues);
}

std::optional<TCommentFrame> DecodeCommentFrame(std::span<const uint8_t> body) {
    constexpr size_t kTextStart = 4;  // encoding byte and language
    if (body.size() < kTextStart || !IsKnownEncoding(body[0])) {
        return std::nullopt;
    }
    const uint8_t encoding = body[0];
    const std::span<const uint8_t> rest = body.subspan(kTextStart);
    const TTerminated description = FindTerminator(rest, encoding);
    TCommentFrame comment;
    comment.Description = DecodeValues(rest.first(description.TextSize), encoding, false);
    comment.Text = DecodeValues(rest.subspan(description.WithTerminator), encoding, false);
    return comment;
}

}  // namespace melodrix
