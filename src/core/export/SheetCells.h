#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "core/catalogfile/DocumentItems.h"

namespace melodrix {

// Rows of one workbook sheet; the export needs a title row and a heading row besides
// one row per item.
inline constexpr uint64_t kSheetRowLimit = 1048576;

// True when a sheet with `items` rows of items, the title and the heading fits.
constexpr bool FitsSheetRows(uint64_t items) {
    return items + 2 <= kSheetRowLimit;
}

// The number of elements below the root element, at any depth.
uint64_t CountDocumentItems(const pugi::xml_node& root);

// The letters of a column number counted from 1: A..Z, AA..AZ, BA.. and on to three
// letters. A text that is not a whole number from 1 on is returned unchanged.
QString ColumnLetters(const QString& number);
std::string ColumnLetters(uint32_t number);  // number >= 1

// A cell's name from 0-based row and column, such as "B7".
std::string CellName(uint32_t row, uint32_t column);
// A range's name from 0-based rows and columns, such as "A2:C5".
std::string RangeName(uint32_t firstRow, uint32_t firstColumn, uint32_t lastRow,
                      uint32_t lastColumn);

// A cell text that is a plain decimal number ("2048", "-3", "12.50"), as a spreadsheet
// application would take it for a number: its value and the decimals it is shown with.
// Nothing for any other text, and for numbers a number cell would show otherwise: leading
// zeros ("007", a track "01"), a negative zero, more than 15 significant digits.
struct TPlainNumber {
    double value = 0;
    int decimals = 0;
};
std::optional<TPlainNumber> PlainDecimalNumber(std::string_view text);

// The width a text needs in a sheet column, in characters: wide East Asian
// characters count twice.
uint32_t TextDisplayWidth(std::string_view utf8);

}  // namespace melodrix
