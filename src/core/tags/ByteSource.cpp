#include "core/tags/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>

namespace melodrix {

TFileByteSource::TFileByteSource(const QString& fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty()) {
        return;
    }
    // Non-blocking so that a named pipe with an .mp3 name cannot hang the scan; it is refused
    // below.
    int handle;
    do {
        handle = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        return;
    }
    struct stat status {};
    if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
        ::close(handle);
        return;
    }
    handle_ = handle;
    size_ = static_cast<uint64_t>(status.st_size);
}

TFileByteSource::~TFileByteSource() {
    if (handle_ >= 0) {
        ::close(handle_);
    }
}

std::optional<uint64_t> TFileByteSource::Size() {
    if (handle_ < 0) {
        return std::nullopt;
    }
    return size_;
}

bool TFileByteSource::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (handle_ < 0 || offset > size_ || size > size_ - offset) {
        return false;
    }
    auto* target = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(handle_, target, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;  // an error, or the file shrank while we read it
        }
        target += got;
        offset += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
    return true;
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
