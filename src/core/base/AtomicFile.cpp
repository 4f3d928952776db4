#include "core/base/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <optional>

#include "core/base/Errors.h"
#include "core/base/NativePaths.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#endif

namespace melodrix {

namespace {

// A large file is sent on to the disk while the rest is still being made, so that the sync
// before the replace waits for the last pieces only, not for the whole file.
void StartWriteBack([[maybe_unused]] QIODevice& device) {
#ifdef Q_OS_LINUX
    auto* file = qobject_cast<QFileDevice*>(&device);
    if (file && file->handle() >= 0 && file->flush()) {
        ::sync_file_range(file->handle(), 0, 0,
                          SYNC_FILE_RANGE_WRITE);  // a hint: errors show at the sync
    }
#endif
}

}  // namespace

void WriteAll(QIODevice& device, const char* data, qint64 size) {
    constexpr qint64 kWriteBackPiece = qint64{1} << 19;
    const bool large = size >= kWriteBackPiece;
    while (size > 0) {
        const qint64 written = device.write(data, size);
        if (written <= 0) {
            throw TMelodrixError(device.errorString());
        }
        data += written;
        size -= written;
    }
    if (large) {
        StartWriteBack(device);
    }
}

#ifdef Q_OS_UNIX

namespace {

// QSaveFile can only name UTF-8 paths; this is the same replacement for a file (or a
// folder on the way) whose name on disk is in another encoding.
std::optional<TFileStamp> WriteNativeFileAtomically(const QString& path, const QByteArray& native,
                                                    const TWriteIf& write) {
    const auto fail = [&](const QString& reason) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    };
    const auto systemError = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    const qsizetype slash = native.lastIndexOf('/');
    QByteArray temporary = (slash < 0 ? QByteArray() : native.left(slash + 1)) + ".melodrix-XXXXXX";
    const int handle = ::mkstemp(temporary.data());
    if (handle < 0) {
        fail(systemError());
    }
    struct stat status {};
    if (::stat(native.constData(), &status) == 0) {
        ::fchmod(handle, status.st_mode & 07777);  // a replaced file keeps its permissions
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(handle, 0666 & ~mask);
    }
    QFile file;
    if (!file.open(handle, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        ::unlink(temporary.constData());
        fail(file.errorString());
    }
    const auto discard = [&] {
        file.close();
        ::unlink(temporary.constData());
    };
    try {
        if (!write(file)) {
            discard();
            return std::nullopt;
        }
    } catch (const TMelodrixError& error) {
        discard();
        fail(error.Message());
    } catch (...) {
        discard();
        throw;
    }
    // A full disk shows only when the buffered bytes go out.
    if (!file.flush() || ::fsync(handle) != 0) {
        const QString reason =
            file.error() != QFileDevice::NoError ? file.errorString() : systemError();
        discard();
        fail(reason);
    }
    const TFileStamp written = FileStampOfHandle(handle);
    file.close();
    if (::rename(temporary.constData(), native.constData()) != 0) {
        const QString reason = systemError();
        ::unlink(temporary.constData());
        fail(reason);
    }
    return written;
}

}  // namespace

#endif

std::optional<TFileStamp> WriteFileAtomicallyIf(const QString& path, const TWriteIf& write) {
#ifdef Q_OS_UNIX
    const QByteArray native = NativePathOf(path);
    if (native != path.toUtf8()) {
        return WriteNativeFileAtomically(path, native, write);
    }
#endif
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
    try {
        if (!write(file)) {
            file.cancelWriting();
            return std::nullopt;
        }
    } catch (const TMelodrixError& error) {
        file.cancelWriting();
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, error.Message()));
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    // commit() does not see a failed flush of buffered bytes (a full disk): check it here.
    if (!file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    const TFileStamp written = FileStampOfHandle(file.handle());
    if (!file.commit()) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
    return written;
}

TFileStamp WriteFileAtomically(const QString& path, const std::function<void(QIODevice&)>& write) {
    return *WriteFileAtomicallyIf(path, [&](QIODevice& device) {
        write(device);
        return true;
    });
}

std::optional<TFileStamp> ReplaceFileThroughTemporary(
    const QString& path, const std::function<bool(const QString& temporaryPath)>& write) {
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                             QStringLiteral(".XXXXXX"));
    if (!temporary.open()) {
        throw TMelodrixError(
            QStringLiteral("Cannot write %1: %2").arg(path, temporary.errorString()));
    }
    const QString temporaryPath = temporary.fileName();
    temporary.close();
    if (!write(temporaryPath)) {
        return std::nullopt;  // the temporary file goes with `temporary`
    }

    // A temporary file is private to its owner; the export gets the usual rights, or
    // keeps those of the file it replaces.
    const QFileDevice::Permissions permissions =
        target.exists() ? QFile::permissions(path)
                        : (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QFile::setPermissions(temporaryPath, permissions);

    // As every other file: on the disk before it replaces the old one.
    const QByteArray temporaryNative = QFile::encodeName(temporaryPath);
    const int handle = ::open(temporaryNative.constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0 || ::fsync(handle) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        if (handle >= 0) {
            ::close(handle);
        }
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    const TFileStamp written = FileStampOfHandle(handle);
    ::close(handle);
    if (::rename(temporaryNative.constData(), NativePathOf(path).constData()) != 0) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    temporary.setAutoRemove(false);
    return written;
}

}  // namespace melodrix
