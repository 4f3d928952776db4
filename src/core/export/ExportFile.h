#pragma once

#include <QString>
#include <functional>
#include <string_view>

namespace melodrix {

// Writes the finished text of an export; the old file is replaced only when the new
// one is complete. Throws TMelodrixError on failure.
void WriteExportText(const QString& path, std::string_view text);

// For writers that need a path of their own: `write` fills a fresh temporary file in
// the target's directory, which then replaces the target in one rename. On any
// failure the temporary file is removed and the target stays as it was.
void ReplaceFileThroughTemporary(const QString& path,
                                 const std::function<void(const QString& temporaryPath)>& write);

}  // namespace melodrix
