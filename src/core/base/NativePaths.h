#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>
#include <string_view>

namespace melodrix {

// File names are bytes on this platform, and old collections hold names in Latin-1 or a
// Windows code page. The program shows and stores every name as text, and finds the bytes
// again from that text whenever it touches the file.

// The text of a file name: the bytes as UTF-8 when they are valid UTF-8, otherwise
// decoded as Windows-1252. The five bytes that code page leaves undefined become the C1
// controls of the same value, so no name reads as U+FFFD and no two names in another
// encoding read the same.
std::string FileNameTextUtf8(std::string_view nativeName);
QString FileNameText(std::string_view nativeName);

// The text of a path: every component decoded as FileNameText.
QString NativePathText(std::string_view nativePath);

// The bytes on disk of the path whose text is `path`: its UTF-8 form when that exists,
// otherwise, component by component, the entry of the folder whose name reads as the
// component. The components that match nothing keep their UTF-8 form, so a new file gets
// a UTF-8 name. Where a UTF-8 name and a name in another encoding read the same, the UTF-8
// one is found.
QByteArray NativePathOf(const QString& path);

// Whether some component of `path` reads the same as two entries of its folder (a UTF-8
// name and one in another encoding that shows the same text). Such a path cannot be told
// apart from the other one, so nothing may be renamed, moved or deleted through it.
bool IsAmbiguousPath(const QString& path);

// Opens the file whose text is `path` for reading, by its bytes on disk. Both openers take only
// a regular file: false, at once, for a FIFO, a device or a socket.
bool OpenForReading(QFile& file, const QString& path);
// Opens the file whose name on disk is exactly `nativePath` for reading (with `extra`
// open flags such as Unbuffered).
bool OpenNativeForReading(QFile& file, const QByteArray& nativePath,
                          QIODevice::OpenMode extra = {});

}  // namespace melodrix
