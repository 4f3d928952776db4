#include "core/export/SheetCells.h"

#include <algorithm>

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
