#include "core/tags/ByteSource.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace melodrix {

#if defined(Q_OS_UNIX)

TFileByteSource::TFileByteSource(const QString& fileName)
    : TFileByteSource(QFile::encodeName(fileName)) {}

namespace {

// Non-blocking so that a named pipe with an .mp3 name cannot hang the scan.
int OpenForTags(const QByteArray& path) {
    if (path.isEmpty()) {
        return -1;
    }
    int handle;
    do {
        handle = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (handle < 0 && errno == EINTR);
    return handle;
}

}  // namespace

TFileByteSource::TFileByteSource(const QByteArray& path) {
    const int handle = OpenForTags(path);
    if (handle < 0) {
        error_ = path.isEmpty() ? ENOENT : errno;
        return;
    }
    struct stat status {};
    if (::fstat(handle, &status) != 0) {
        error_ = errno;
        ::close(handle);
        return;
    }
    if (!S_ISREG(status.st_mode) || status.st_size < 0) {
        ::close(handle);
        return;
    }
    handle_ = handle;
    size_ = static_cast<uint64_t>(status.st_size);
    open_ = true;
}

TFileByteSource::TFileByteSource(const QByteArray& path, uint64_t listedSize) {
    handle_ = OpenForTags(path);
    open_ = handle_ >= 0;
    if (!open_) {
        error_ = path.isEmpty() ? ENOENT : errno;
    }
    size_ = listedSize;
}

TFileByteSource::~TFileByteSource() {
    if (handle_ >= 0) {
        ::close(handle_);
    }
}

bool TFileByteSource::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (!open_ || offset > size_ || size > size_ - offset) {
        return false;
    }
    auto* target = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(handle_, target, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            if (error_ == 0) {
                error_ = errno;
            }
            return false;
        }
        if (got == 0) {
            return false;  // the file shrank while we read it
        }
        target += got;
        offset += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
    return true;
}

#else

TFileByteSource::TFileByteSource(const QString& fileName)
    : file_(std::make_unique<QFile>(fileName)) {
    if (!QFileInfo(fileName).isFile()) {
        return;
    }
    if (file_->open(QIODevice::ReadOnly)) {
        open_ = true;
        size_ = static_cast<uint64_t>(file_->size());
    } else {
        error_ = file_->error() == QFileDevice::PermissionsError ? EACCES : EIO;
    }
}

TFileByteSource::TFileByteSource(const QByteArray& nativePath)
    : TFileByteSource(QFile::decodeName(nativePath)) {}

TFileByteSource::TFileByteSource(const QByteArray& nativePath, uint64_t /*listedSize*/)
    : TFileByteSource(nativePath) {}

TFileByteSource::~TFileByteSource() = default;

bool TFileByteSource::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (!open_ || offset > size_ || size > size_ - offset ||
        !file_->seek(static_cast<qint64>(offset))) {
        return false;
    }
    return file_->read(static_cast<char*>(buffer), static_cast<qint64>(size)) ==
           static_cast<qint64>(size);
}

#endif

std::optional<uint64_t> TFileByteSource::Size() {
    if (!open_) {
        return std::nullopt;
    }
    return size_;
}

bool TMemoryByteSource::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) {
        return false;
    }
    if (size > 0) {
        std::memcpy(buffer, bytes_.data() + offset, size);
    }
    return true;
}

}  // namespace melodrix
