#pragma once

#include <QString>
#include <string_view>

namespace melodrix {

// The path delimiter of this platform ("\" in the catalog's rules).
QChar PathDelimiter();

// The path unchanged when it ends with a delimiter, otherwise the path and a delimiter.
QString WithTrailingBackslash(const QString& path);
// The path with one trailing delimiter removed, if it has one.
QString WithoutTrailingBackslash(const QString& path);
// Text after the last ".", when that comes after the last delimiter and ":"; else empty.
QString ExtensionOf(const QString& path);
// The same for a path in UTF-8: the delimiter, '.' and ':' are ASCII, never part of a longer
// character, so the bytes are searched as they are.
std::string_view ExtensionOfUtf8(std::string_view path);
// True when the path is the root of a mounted volume (a "drive root").
bool IsVolumeRoot(const QString& path);
// The label of the volume whose root the path is; empty when none or not a root.
QString VolumeLabelOf(const QString& path);
// A short name for a catalog or disk: the label (or mount name) of a volume root,
// otherwise the last path component cut before its first ".". "/" without a label has
// the empty name.
QString DiskNameOf(const QString& path);
// The last component of a path (after the last delimiter).
QString LastPathComponent(const QString& path);

}  // namespace melodrix
