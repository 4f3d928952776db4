#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace melodrix {

// What tells one version of a file from the next: a file replaced atomically gets a new
// inode, and one written in place a new size or modification time. Two stamps that are
// equal name the same contents, as far as the file system can tell.
struct TFileStamp {
    bool Exists = false;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    int64_t Size = 0;
    int64_t ModifiedNs = 0;

    bool operator==(const TFileStamp&) const = default;
};

// The stamp of the file whose text is `path` (symbolic links followed); Exists is false when
// there is no such file.
TFileStamp FileStampOf(const QString& path);
TFileStamp NativeFileStampOf(const QByteArray& nativePath);
// The stamp of an open file.
TFileStamp FileStampOfHandle(int handle);

}  // namespace melodrix
