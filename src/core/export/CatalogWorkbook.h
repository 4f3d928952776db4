#pragma once

#include <QString>
#include <QStringList>
#include <pugixml.hpp>

namespace melodrix {

// Writes a workbook file at `path` whose first sheet shows the catalog items below
// `root`: the title in row 1 (bold, centred, merged over the table's width), the
// heading "SerialNO" and the column names in row 2, then one row per item in pre-order
// with its running number and stored attribute texts. All cells of the table are text
// with thin borders; columns are as wide as their longest text. Throws TMelodrixError
// on failure.
void WriteCatalogWorkbook(const QString& path, const pugi::xml_node& root,
                          const QStringList& columns, const QString& title);

}  // namespace melodrix
