#pragma once

#include <QIODevice>
#include <QString>
#include <functional>
#include <optional>

#include "core/base/FileStamp.h"

namespace melodrix {

// Writes a file through a temporary file in the same directory that replaces the target
// only when `write` has finished without error. Throws TMelodrixError with the reason
// on failure; the previous file is then untouched. Returns the stamp of the file written,
// taken before it replaced the target, so it names this file even if another one has
// replaced it since.
TFileStamp WriteFileAtomically(const QString& path, const std::function<void(QIODevice&)>& write);

// The same for a writer that may find it cannot finish (a catalog read as it goes that turns
// out to need the full parser): when `write` returns false the temporary file is dropped, the
// target stays as it was and the result is empty.
using TWriteIf = std::function<bool(QIODevice&)>;
std::optional<TFileStamp> WriteFileAtomicallyIf(const QString& path, const TWriteIf& write);

// For writers that need a path of their own: `write` fills a fresh temporary file in
// the target's directory, which then replaces the target in one rename. On any
// failure the temporary file is removed and the target stays as it was. The file is synced
// to the disk before the rename, as WriteFileAtomically does.
// When `write` returns false nothing is replaced and the result is empty.
std::optional<TFileStamp> ReplaceFileThroughTemporary(
    const QString& path, const std::function<bool(const QString& temporaryPath)>& write);

// Writes all bytes or throws with the device's error text.
void WriteAll(QIODevice& device, const char* data, qint64 size);

}  // namespace melodrix
