#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <string_view>

namespace melodrix::testing {

// Files and folders whose names are raw bytes (not necessarily UTF-8), made with the
// system calls because Qt can only name UTF-8 paths here.

// `base` (text, UTF-8) joined with a relative path given as raw bytes.
inline QByteArray RawPath(const QString& base, std::string_view relative) {
    return base.toUtf8() + '/' +
           QByteArray(relative.data(), static_cast<qsizetype>(relative.size()));
}

inline bool MakeRawDirectory(const QByteArray& path) {
    return ::mkdir(path.constData(), 0755) == 0;
}

inline bool WriteRawFile(const QByteArray& path, std::string_view bytes) {
    const int handle = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (handle < 0) {
        return false;
    }
    const bool written =
        ::write(handle, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(handle) == 0 && written;
}

inline bool RawExists(const QByteArray& path) {
    struct stat status {};
    return ::lstat(path.constData(), &status) == 0;
}

}  // namespace melodrix::testing
