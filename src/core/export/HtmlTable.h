#pragma once

#include <QStringList>
#include <string>
#include <string_view>

#include "core/export/ExportItems.h"
#include "core/export/TextOutput.h"

namespace melodrix {

// The style sheet and head that open every exported page; `pageTitle` (escaped) is the
// page's <Title>, which browsers show on the tab and in bookmarks.
std::string HtmlPageHead(std::string_view pageTitle = {});

// The whole HTML page of the items: heading with the title, footer line, and a table
// with one heading row and one row per item in pre-order, rows alternating between
// the TrARow and TrBRow classes. Names and values are escaped; empty ones become
// "&nbsp". Lines end in CR LF. No items give the empty text. False when the walk was not
// complete (the output is then not a whole page). `pageTitle` goes into the head.
bool BuildHtmlTable(const TItemWalk& items, const QStringList& columns, std::string_view title,
                    std::string_view pageTitle, TTextOutput& output);

}  // namespace melodrix
