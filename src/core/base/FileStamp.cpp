#include "core/base/FileStamp.h"

#include <sys/stat.h>

#include "core/base/NativePaths.h"

namespace melodrix {

namespace {

TFileStamp StampOfStatus(const struct stat& status) {
    TFileStamp stamp;
    stamp.Exists = true;
    stamp.Device = static_cast<uint64_t>(status.st_dev);
    stamp.Inode = static_cast<uint64_t>(status.st_ino);
    stamp.Size = static_cast<int64_t>(status.st_size);
    stamp.ModifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                       static_cast<int64_t>(status.st_mtim.tv_nsec);
    return stamp;
}

}  // namespace

TFileStamp NativeFileStampOf(const QByteArray& nativePath) {
    struct stat status {};
    if (nativePath.isEmpty() || ::stat(nativePath.constData(), &status) != 0) {
        return {};
    }
    return StampOfStatus(status);
}

TFileStamp FileStampOf(const QString& path) {
    return NativeFileStampOf(NativePathOf(path));
}

TFileStamp FileStampOfHandle(int handle) {
    struct stat status {};
    if (::fstat(handle, &status) != 0) {
        return {};
    }
    return StampOfStatus(status);
}

}  // namespace melodrix
