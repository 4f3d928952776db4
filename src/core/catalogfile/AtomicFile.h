#pragma once

#include <QIODevice>
#include <QString>
#include <functional>

#include "core/catalog/FileStamp.h"

namespace melodrix {

// Writes a file through a temporary file in the same directory that replaces the target
// only when `write` has finished without error. Throws TMelodrixError with the reason
// on failure; the previous file is then untouched. Returns the stamp of the file written,
// taken before it replaced the target, so it names this file even if another one has
// replaced it since.
TFileStamp WriteFileAtomically(const QString& path, const std::function<void(QIODevice&)>& write);

// Writes all bytes or throws with the device's error text.
void WriteAll(QIODevice& device, const char* data, qint64 size);

}  // namespace melodrix
