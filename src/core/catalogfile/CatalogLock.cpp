#include "core/catalogfile/CatalogLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <cstring>

#include "core/base/Errors.h"
#include "core/base/NativePaths.h"

namespace melodrix {

namespace {

// Long enough that a quick save by someone else goes unseen, short enough that a person
// learns at once why nothing happens.
constexpr qint64 kQuietWaitMs = 300;
constexpr unsigned long kPollMs = 15;

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

struct flock WriteLockOfWholeFile() {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

TCatalogLock::TCatalogLock(const QString& path, IProgressSink& progress)
    : path_(path), native_(NativePathOf(path)) {
    QElapsedTimer waited;
    waited.start();
    bool shown = false;
    const auto hide = [&] {
        if (shown) {
            progress.ShowProgress(false, false);
        }
    };
    for (;;) {
        TAttempt attempt = TAttempt::Busy;
        try {
            attempt = TryLock();
        } catch (...) {
            hide();
            throw;
        }
        if (attempt == TAttempt::Locked || attempt == TAttempt::Absent) {
            break;
        }
        if (attempt == TAttempt::Replaced) {
            continue;
        }
        if (!shown && waited.elapsed() >= kQuietWaitMs) {
            progress.ShowProgress(true, true);
            progress.SetProgressText(kWaitingForCatalog.arg(path_));
            shown = true;
        }
        if (shown) {
            progress.ProcessPendingInput();
            if (progress.CancelRequested()) {
                Release();
                hide();
                throw TCancelledError(
                    QStringLiteral("Cancelled while waiting for %1, which another program is "
                                   "writing. Nothing was changed.")
                        .arg(path_));
            }
        }
        QThread::msleep(kPollMs);
    }
    hide();
}

TCatalogLock::~TCatalogLock() {
    Release();
}

void TCatalogLock::Release() {
    if (handle_ >= 0) {
        ::close(handle_);  // drops the lock
        handle_ = -1;
    }
}

TCatalogLock::TAttempt TCatalogLock::TryLock() {
    const auto fail = [&](const QString& reason) {
        Release();
        throw TMelodrixError(QStringLiteral("Cannot lock %1: %2").arg(path_, reason));
    };
    struct stat status {};
    if (handle_ < 0) {
        // Checked before opening, so that a name of a device or a FIFO is never opened.
        if (::stat(native_.constData(), &status) != 0) {
            if (errno == ENOENT) {
                return TAttempt::Absent;
            }
            fail(SystemError());
        }
        if (!S_ISREG(status.st_mode)) {
            fail(QStringLiteral("it is not a regular file"));
        }
        handle_ = ::open(native_.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (handle_ < 0) {
            if (errno == ENOENT) {
                return TAttempt::Absent;
            }
            fail(SystemError());
        }
    }
    struct stat locked {};
    if (::fstat(handle_, &locked) != 0) {
        fail(SystemError());
    }
    if (!S_ISREG(locked.st_mode)) {
        fail(QStringLiteral("it is not a regular file"));
    }
    // An open file description lock belongs to this open file, not to the process, so two
    // threads exclude each other and closing another handle of the file keeps it. Older
    // kernels only know the process-wide kind.
    struct flock lock = WriteLockOfWholeFile();
    bool ownedByHandle = true;
    int result = ::fcntl(handle_, F_OFD_SETLK, &lock);
    if (result != 0 && errno == EINVAL) {
        ownedByHandle = false;
        lock = WriteLockOfWholeFile();
        result = ::fcntl(handle_, F_SETLK, &lock);
    }
    if (result != 0) {
        if (errno == EAGAIN || errno == EACCES) {
            return TAttempt::Busy;
        }
        // A file system without byte-range locks (some SMB mounts are made so) would make
        // every catalog on it read-only; the identity check below still guards the write.
        if (errno != ENOLCK && errno != EOPNOTSUPP) {
            fail(SystemError());
        }
    }
    // Did someone replace the file while we waited? Opening the path again, rather than a
    // stat, makes a network file system look the name up afresh.
    struct stat current {};
    bool present = false;
    if (ownedByHandle) {
        const int probe = ::open(native_.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (probe >= 0) {
            present = ::fstat(probe, &current) == 0;
            ::close(probe);
        }
    } else {
        present = ::stat(native_.constData(), &current) == 0;
    }
    if (!present) {
        if (errno != ENOENT) {
            fail(SystemError());
        }
        Release();
        return TAttempt::Absent;
    }
    if (!SameFile(current, locked)) {
        Release();
        return TAttempt::Replaced;
    }
    stamp_ = FileStampOfHandle(handle_);
    return TAttempt::Locked;
}

}  // namespace melodrix
