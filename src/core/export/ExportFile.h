#pragma once

#include <QString>
#include <functional>

#include "core/export/TextOutput.h"

namespace melodrix {

// Thrown by an export that writes a catalog file as it reads it when the file holds what only
// the XML parser reads; the export then starts again from the parsed file.
struct TNeedsParser {};

// Writes the text that `build` produces, piece by piece; the old file is replaced only
// when the new one is complete. Throws TMelodrixError on failure.
void WriteExportText(const QString& path, const std::function<void(TTextOutput&)>& build);

}  // namespace melodrix
