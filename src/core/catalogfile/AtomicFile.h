#pragma once

#include <QIODevice>
#include <QString>
#include <functional>

namespace melodrix {

// Writes a file through a temporary file in the same directory that replaces the target
// only when `write` has finished without error. Throws TMelodrixError with the reason
// on failure; the previous file is then untouched.
void WriteFileAtomically(const QString& path, const std::function<void(QIODevice&)>& write);

// Writes all bytes or throws with the device's error text.
void WriteAll(QIODevice& device, const char* data, qint64 size);

}  // namespace melodrix
