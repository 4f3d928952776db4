#pragma once

#include <QStringList>
#include <string>
#include <string_view>

#include "core/export/ExportItems.h"
#include "core/export/TextOutput.h"

namespace melodrix {

enum class TDelimitedStyle {
    // The plain table: a separator after every heading name, values as they are
    // (a line break in a value starts a new line).
    Plain,
    // RFC 4180: the heading has no trailing separator and values that hold the
    // separator, a quote or a line break are quoted, so every line has the same fields.
    Csv,
};

// A heading line with the column names and one line per item in pre-order, the cells
// joined by the separator; lines end in CR LF. No items give the empty text. False when the
// walk was not complete.
bool BuildDelimitedText(const TItemWalk& items, const QStringList& columns,
                        std::string_view separator, TDelimitedStyle style, TTextOutput& output);

// True when the text can separate CSV fields: not empty, no quote, no line break.
bool IsUsableCsvSeparator(const QString& separator);

}  // namespace melodrix
