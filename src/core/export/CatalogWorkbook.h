#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// The rows of a workbook: a walk hands the cell texts of every item, one per column, to
// `each`, in pre-order; an empty text is an empty cell. The texts are valid during the call.
// A walk returns false when its catalog file holds something only the XML parser reads: the
// rows handed on so far are then not all.
using TEachRow = std::function<void(std::span<const std::string_view> cells)>;
using TRowWalk = std::function<bool(const TEachRow& each)>;

// The column names of a workbook as UTF-8.
std::vector<std::string> WorkbookColumnNames(const QStringList& columns);

// The items below `root` with their stored attribute texts, taken by column name (the first
// of repeated attributes counts).
TRowWalk DocumentRows(const pugi::xml_node& root, const std::vector<std::string>& names);
// The items of the tree with the texts TreeToDocument would store: a column that names no
// field stays empty.
TRowWalk TreeRows(const TCatalogTree& tree, const std::vector<std::string>& names);

// What the sheet needs before its first row: the number of items and the column widths,
// each column as wide as its longest text.
struct TWorkbookLayout {
    uint64_t items = 0;
    std::vector<double> widths;  // the serial column, then one per name
};

// Measures the rows (one pass of the walk); empty when the walk was not complete.
std::optional<TWorkbookLayout> MeasureWorkbook(const TRowWalk& rows,
                                               const std::vector<std::string>& names);

// Writes a workbook file at `path` whose first sheet shows the rows: the title in row 1
// (bold, centred, merged over the table's width), the heading "SerialNO" and the column
// names in row 2, then one row per item with its running number and texts. A text that is a
// plain decimal number (PlainDecimalNumber) is a number cell, every other one a text cell;
// all cells of the table have thin borders; columns have the layout's widths. False, with no file
// written, when the walk was not complete. Throws TMelodrixError on failure.
bool WriteCatalogWorkbook(const QString& path, const TRowWalk& rows, const TWorkbookLayout& layout,
                          const std::vector<std::string>& names, const QString& title);

}  // namespace melodrix
