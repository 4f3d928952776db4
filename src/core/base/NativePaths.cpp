#include "core/base/NativePaths.h"

#include <QStringList>
#include <QtGlobal>

#include "core/base/TextDecoding.h"

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace melodrix {

namespace {

bool IsUndefinedIn1252(unsigned char byte) {
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

// A name made of ASCII only is the same text in every encoding read here.
bool IsAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

#ifdef Q_OS_UNIX

bool Exists(const QByteArray& path) {
    struct stat status {};
    return ::lstat(path.constData(), &status) == 0;
}

// Calls `visit` with every entry name of the folder but "." and "..".
template <typename Visit>
void ForEachName(const QByteArray& directory, Visit&& visit) {
    DIR* dir = ::opendir(directory.isEmpty() ? "." : directory.constData());
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != ".." && !visit(name)) {
            break;
        }
    }
    ::closedir(dir);
}

// The bytes of an entry of `directory` that is not UTF-8 and reads as `name`; empty when
// there is none.
QByteArray EntryReadingAs(const QByteArray& directory, const QString& name) {
    const QByteArray wanted = name.toUtf8();
    const std::string_view text(wanted.constData(), static_cast<size_t>(wanted.size()));
    QByteArray found;
    ForEachName(directory, [&](std::string_view entry) {
        if (!IsValidUtf8(entry) && FileNameTextUtf8(entry) == text) {
            found = QByteArray(entry.data(), static_cast<qsizetype>(entry.size()));
            return false;
        }
        return true;
    });
    return found;
}

int EntriesReadingAs(const QByteArray& directory, const QString& name) {
    const QByteArray wanted = name.toUtf8();
    const std::string_view text(wanted.constData(), static_cast<size_t>(wanted.size()));
    int count = 0;
    ForEachName(directory, [&](std::string_view entry) {
        count += FileNameTextUtf8(entry) == text;
        return true;
    });
    return count;
}

#endif

}  // namespace

std::string FileNameTextUtf8(std::string_view nativeName) {
    if (IsValidUtf8(nativeName)) {
        return std::string(nativeName);
    }
    std::string text;
    text.reserve(nativeName.size() * 2);
    size_t from = 0;
    for (size_t i = 0; i <= nativeName.size(); ++i) {
        if (i == nativeName.size() ||
            IsUndefinedIn1252(static_cast<unsigned char>(nativeName[i]))) {
            text += Windows1252ToUtf8(nativeName.substr(from, i - from));
            if (i < nativeName.size()) {
                AppendUtf8(text, static_cast<unsigned char>(nativeName[i]));
            }
            from = i + 1;
        }
    }
    return text;
}

QString FileNameText(std::string_view nativeName) {
    const std::string text = FileNameTextUtf8(nativeName);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString NativePathText(std::string_view nativePath) {
    if (IsValidUtf8(nativePath)) {
        return QString::fromUtf8(nativePath.data(), static_cast<qsizetype>(nativePath.size()));
    }
    QString text;
    size_t from = 0;
    for (size_t slash = nativePath.find('/'); from <= nativePath.size();
         slash = nativePath.find('/', from)) {
        const size_t end = slash == std::string_view::npos ? nativePath.size() : slash;
        text += FileNameText(nativePath.substr(from, end - from));
        if (slash == std::string_view::npos) {
            break;
        }
        text += QLatin1Char('/');
        from = slash + 1;
    }
    return text;
}

#ifdef Q_OS_UNIX

QByteArray NativePathOf(const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    if (utf8.isEmpty() || IsAscii(path) || Exists(utf8)) {
        return utf8;
    }
    const QStringList parts = path.split(QLatin1Char('/'));
    QByteArray resolved;
    bool reachable = true;  // the components so far exist on disk
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        if (i > 0) {
            resolved += '/';
        }
        const QByteArray asUtf8 = part.toUtf8();
        if (!reachable || IsAscii(part) || Exists(resolved + asUtf8)) {
            resolved += asUtf8;
            continue;
        }
        const QByteArray found = EntryReadingAs(resolved, part);
        reachable = !found.isEmpty();
        resolved += reachable ? found : asUtf8;
    }
    return resolved;
}

bool IsAmbiguousPath(const QString& path) {
    const QStringList parts = path.split(QLatin1Char('/'));
    QByteArray resolved;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        if (i > 0) {
            resolved += '/';
        }
        if (!IsAscii(part) && EntriesReadingAs(resolved, part) > 1) {
            return true;
        }
        QByteArray next = resolved + part.toUtf8();
        if (!IsAscii(part) && !Exists(next)) {
            const QByteArray found = EntryReadingAs(resolved, part);
            if (found.isEmpty()) {
                return false;  // nothing further down exists
            }
            next = resolved + found;
        }
        resolved = next;
    }
    return false;
}

bool OpenForReading(QFile& file, const QString& path) {
    return OpenNativeForReading(file, NativePathOf(path));
}

bool OpenNativeForReading(QFile& file, const QByteArray& native, QIODevice::OpenMode extra) {
    if (native.isEmpty()) {
        return false;
    }
    // Only a regular file is read: a FIFO would block the open and the reads, a device would
    // never end. The open does not wait (O_NONBLOCK) and the kind is checked on what was
    // opened, so a file swapped after the caller looked cannot block it either; a special
    // file that claims to be regular (/proc/kmsg) fails its reads rather than wait.
    int handle;
    do {
        handle = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(handle);
        return false;
    }
    if (!file.open(handle, QIODevice::ReadOnly | extra, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return false;
    }
    return true;
}

#else

// Names are UTF-16 elsewhere: every name is text already.
QByteArray NativePathOf(const QString& path) {
    return QFile::encodeName(path);
}

bool IsAmbiguousPath(const QString&) {
    return false;
}

bool OpenForReading(QFile& file, const QString& path) {
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}

bool OpenNativeForReading(QFile& file, const QByteArray& nativePath, QIODevice::OpenMode extra) {
    file.setFileName(QFile::decodeName(nativePath));
    return file.open(QIODevice::ReadOnly | extra);
}

#endif

}  // namespace melodrix
