#pragma once

#include <QString>
#include <functional>

#include "core/export/TextOutput.h"

namespace melodrix {

// Writes the text that `build` produces, piece by piece; the old file is replaced only
// when the new one is complete. When `build` returns false (it read a catalog file as it went
// and met what only the XML parser reads) nothing is replaced and the result is false.
// Throws TMelodrixError on failure.
bool WriteExportText(const QString& path, const std::function<bool(TTextOutput&)>& build);

}  // namespace melodrix
