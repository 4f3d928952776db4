#include "core/export/SheetCells.h"

#include <algorithm>
#include <charconv>

namespace melodrix {

uint64_t CountDocumentItems(const pugi::xml_node& root) {
    uint64_t count = 0;
    ForEachDocumentItem(root, [&](const pugi::xml_node&) { ++count; });
    return count;
}

std::string ColumnLetters(uint32_t number) {
    std::string letters;
    while (number > 0) {
        const uint32_t digit = (number - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + digit));
        number = (number - 1) / 26;
    }
    return letters;
}

QString ColumnLetters(const QString& number) {
    bool ok = false;
    const qlonglong value = number.trimmed().toLongLong(&ok);
    if (!ok || value <= 0 || value > 0xFFFFFFFFLL) {
        return number;
    }
    return QString::fromStdString(ColumnLetters(static_cast<uint32_t>(value)));
}

std::string CellName(uint32_t row, uint32_t column) {
    return ColumnLetters(column + 1) + std::to_string(static_cast<uint64_t>(row) + 1);
}

std::string RangeName(uint32_t firstRow, uint32_t firstColumn, uint32_t lastRow,
                      uint32_t lastColumn) {
    return CellName(firstRow, firstColumn) + ':' + CellName(lastRow, lastColumn);
}

std::optional<TPlainNumber> PlainDecimalNumber(std::string_view text) {
    // Beyond this a double no longer holds every digit.
    constexpr size_t kMostDigits = 15;
    size_t i = text.starts_with('-') ? 1 : 0;
    const size_t whole = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
    }
    const size_t wholeDigits = i - whole;
    if (wholeDigits == 0 || (wholeDigits > 1 && text[whole] == '0')) {
        return std::nullopt;
    }
    size_t decimals = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const size_t fraction = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        decimals = i - fraction;
        if (decimals == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    const bool leadingZero = text[whole] == '0';
    const size_t significant = wholeDigits + decimals - (leadingZero ? 1 : 0);
    if (significant > kMostDigits) {
        return std::nullopt;
    }
    TPlainNumber number;
    if (std::from_chars(text.data(), text.data() + text.size(), number.value).ec != std::errc()) {
        return std::nullopt;
    }
    if (number.value == 0 && whole == 1) {
        return std::nullopt;  // "-0" would show as 0
    }
    number.decimals = static_cast<int>(decimals);
    return number;
}

namespace {

bool IsWide(uint32_t code) {
    return (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
           (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
           (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
           (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
}

}  // namespace

uint32_t TextDisplayWidth(std::string_view utf8) {
    uint32_t width = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            ++width;
            ++i;
            continue;
        }
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        uint32_t code = length == 4 ? lead & 0x07 : length == 3 ? lead & 0x0F : lead & 0x1F;
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        width += IsWide(code) ? 2 : 1;
        i += std::min(length, utf8.size() - i);
    }
    return width;
}

}  // namespace melodrix
