#pragma once

#include <QStringList>
#include <string>
#include <string_view>

#include "core/catalog/CatalogTree.h"
#include "core/export/TextOutput.h"

namespace melodrix {

// The style sheet and head that open every exported page.
std::string HtmlPageHead();

// The whole HTML page of a tree: heading with the title, footer line, and a table
// with one heading row and one row per node in pre-order, rows alternating between
// the TrARow and TrBRow classes. Names and values are escaped; empty ones become
// "&nbsp". Lines end in CR LF. An empty tree gives the empty text.
std::string BuildHtmlTable(const TCatalogTree& tree, const QStringList& columns,
                           std::string_view title);
void BuildHtmlTable(const TCatalogTree& tree, const QStringList& columns, std::string_view title,
                    TTextOutput& output);

}  // namespace melodrix
