#pragma once

#include <QStringList>
#include <string>
#include <string_view>

#include "core/export/ExportItems.h"
#include "core/export/TextOutput.h"

namespace melodrix {

// The style sheet and head that open every exported page.
std::string HtmlPageHead();

// The whole HTML page of the items: heading with the title, footer line, and a table
// with one heading row and one row per item in pre-order, rows alternating between
// the TrARow and TrBRow classes. Names and values are escaped; empty ones become
// "&nbsp". Lines end in CR LF. No items give the empty text. False when the walk was not
// complete (the output is then not a whole page).
bool BuildHtmlTable(const TItemWalk& items, const QStringList& columns, std::string_view title,
                    TTextOutput& output);

}  // namespace melodrix
