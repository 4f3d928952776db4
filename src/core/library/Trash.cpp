#include "core/library/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/base/NativePaths.h"

namespace melodrix {

namespace {

// Names tried in a trash before giving up: "a.xml", "a.xml.2", ... "a.xml.1000".
constexpr int kMostNames = 1000;

QString Shown(const QByteArray& path) {
    return QDir::toNativeSeparators(
        NativePathText(std::string_view(path.constData(), static_cast<size_t>(path.size()))));
}

QString Failure(const QByteArray& path, const QString& why) {
    return QStringLiteral("Cannot move %1 to the trash: %2").arg(Shown(path), why);
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray WithoutTrailingSlashes(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    return path;
}

QByteArray ParentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray Join(const QByteArray& directory, const QByteArray& name) {
    return directory.endsWith('/') ? directory + name : directory + '/' + name;
}

std::optional<QByteArray> RealPath(const QByteArray& path) {
    char* resolved = realpath(path.constData(), nullptr);
    if (!resolved) {
        return std::nullopt;
    }
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

// A directory of our own, made when missing: not a link, owned by us when `ours`.
bool HaveDirectory(const QByteArray& path, bool ours) {
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat status {};
    return lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           (!ours || status.st_uid == getuid());
}

// Makes the directory and the ones above it that are missing (the home trash may be the
// first thing ever written to the data folder).
bool HaveDirectoryPath(const QByteArray& path) {
    struct stat status {};
    if (stat(path.constData(), &status) == 0) {
        return S_ISDIR(status.st_mode);
    }
    const QByteArray parent = ParentOf(path);
    return parent != path && HaveDirectoryPath(parent) && HaveDirectory(path, false);
}

// The device of the path, or of its nearest ancestor that exists (the trash is made when
// first needed).
std::optional<dev_t> DeviceOfNearest(QByteArray path) {
    for (;;) {
        struct stat status {};
        if (stat(path.constData(), &status) == 0) {
            return status.st_dev;
        }
        const QByteArray parent = ParentOf(path);
        if (parent == path) {
            return std::nullopt;
        }
        path = parent;
    }
}

// The top directory (mount point) of the file system that holds `directory`.
QByteArray TopDirectoryOf(const QByteArray& directory, dev_t device) {
    QByteArray top = directory;
    while (top != "/") {
        const QByteArray parent = ParentOf(top);
        struct stat status {};
        if (stat(parent.constData(), &status) != 0 || status.st_dev != device) {
            break;
        }
        top = parent;
    }
    return top;
}

struct TTrashPlace {
    QByteArray directory;
    QByteArray topDirectory;  // empty for the home trash, whose info files hold whole paths
};

// The trash at the top of a file system other than the home trash's: the shared .Trash
// an administrator made (a sticky folder, not a link) with a folder per user, else the
// user's own .Trash-$uid, made when missing.
std::optional<TTrashPlace> TopTrash(const QByteArray& top) {
    const QByteArray uid = QByteArray::number(static_cast<qulonglong>(getuid()));
    const QByteArray shared = Join(top, ".Trash");
    struct stat status {};
    if (lstat(shared.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
        (status.st_mode & S_ISVTX) != 0) {
        const QByteArray mine = Join(shared, uid);
        if (HaveDirectory(mine, true)) {
            return TTrashPlace{mine, top};
        }
    }
    const QByteArray own = Join(top, ".Trash-" + uid);
    if (HaveDirectory(own, true)) {
        return TTrashPlace{own, top};
    }
    return std::nullopt;
}

// Renames `from` to `to` unless something is at `to` already (errno EEXIST then).
bool RenameNoReplace(const QByteArray& from, const QByteArray& to) {
#if defined(RENAME_NOREPLACE)
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
#endif
    // A file system whose rename cannot refuse to replace: look first. Another program could
    // take the name in between, as with any file manager on such a disk.
    struct stat status {};
    if (lstat(to.constData(), &status) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from.constData(), to.constData()) == 0;
}

bool WriteAllTo(int descriptor, const QByteArray& bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(descriptor, bytes.constData() + written,
                                    static_cast<size_t>(bytes.size() - written));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += count;
    }
    return fsync(descriptor) == 0;
}

// Writes the info file `info` in full, then gives it its name, which must be free: errno
// is EEXIST when another trashed entry has it.
bool WriteInfoFile(const QByteArray& info, const QByteArray& text) {
    // The temporary name does not end in ".trashinfo", so no trash viewer reads it early.
    QByteArray temporary = ParentOf(info) + "/.melodrix-trashinfo-XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        return false;
    }
    const bool written = WriteAllTo(descriptor, text);
    const int writeError = errno;
    close(descriptor);
    if (!written) {
        unlink(temporary.constData());
        errno = writeError;
        return false;
    }
    if (!RenameNoReplace(temporary, info)) {
        const int renameError = errno;
        unlink(temporary.constData());
        errno = renameError;
        return false;
    }
    return true;
}

}  // namespace

QByteArray HomeTrashDirectory() {
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/')) {
        data = QFile::encodeName(QDir::homePath()) + "/.local/share";
    }
    return WithoutTrailingSlashes(data) + "/Trash";
}

QByteArray TrashInfoPathText(const QByteArray& path) {
    return path.toPercentEncoding("/");
}

TTrashOutcome MoveToTrash(const QByteArray& nativePath, const QByteArray& homeTrash) {
    TTrashOutcome outcome;
    QByteArray path = WithoutTrailingSlashes(nativePath);
    if (!path.startsWith('/')) {
        path = Join(QFile::encodeName(QDir::currentPath()), path);
    }
    struct stat entry {};
    if (lstat(path.constData(), &entry) != 0) {
        outcome.error = Failure(path, SystemError(errno));
        return outcome;
    }
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    // The entry's place as the info file records it: its folder resolved, the entry itself
    // not (a link is trashed as the link).
    const std::optional<QByteArray> parent = RealPath(ParentOf(path));
    if (name.isEmpty() || !parent) {
        outcome.error = Failure(path, QStringLiteral("the folder it is in cannot be found"));
        return outcome;
    }
    const QByteArray place = Join(*parent, name);

    // The entry is renamed within the file system of the folder it is in.
    struct stat folder {};
    if (stat(parent->constData(), &folder) != 0) {
        outcome.error = Failure(path, SystemError(errno));
        return outcome;
    }
    // What lies on the home trash's file system goes there and nowhere else.
    std::optional<TTrashPlace> trash;
    if (DeviceOfNearest(homeTrash) == folder.st_dev) {
        if (!HaveDirectoryPath(homeTrash)) {
            outcome.error = Failure(
                path, QStringLiteral("the trash folder %1 cannot be made").arg(Shown(homeTrash)));
            return outcome;
        }
        trash = TTrashPlace{homeTrash, {}};
    } else {
        trash = TopTrash(TopDirectoryOf(*parent, folder.st_dev));
    }
    if (!trash) {
        outcome.error = Failure(path, QStringLiteral("its disk has no trash the program may use"));
        return outcome;
    }
    const QByteArray files = Join(trash->directory, "files");
    const QByteArray infos = Join(trash->directory, "info");
    if (!HaveDirectory(files, false) || !HaveDirectory(infos, false)) {
        outcome.error = Failure(
            path,
            QStringLiteral("the trash folder %1 cannot be made").arg(Shown(trash->directory)));
        return outcome;
    }

    QByteArray recorded = place;
    if (!trash->topDirectory.isEmpty()) {
        // On a removable disk the place is relative to the disk's top, wherever it is mounted.
        recorded = place.mid(trash->topDirectory == "/" ? 1 : trash->topDirectory.size() + 1);
    }
    const QByteArray info =
        "[Trash Info]\nPath=" + TrashInfoPathText(recorded) + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")).toLatin1() +
        '\n';

    for (int attempt = 1; attempt <= kMostNames; ++attempt) {
        const QByteArray trashedName =
            attempt == 1 ? name : name + '.' + QByteArray::number(attempt);
        const QByteArray infoPath = Join(infos, trashedName + ".trashinfo");
        if (!WriteInfoFile(infoPath, info)) {
            if (errno == EEXIST) {
                continue;
            }
            outcome.error = Failure(path, SystemError(errno));
            return outcome;
        }
        const QByteArray trashedPath = Join(files, trashedName);
        if (RenameNoReplace(path, trashedPath)) {
            outcome.trashedPath = trashedPath;
            outcome.infoPath = infoPath;
            return outcome;
        }
        const int error = errno;
        unlink(infoPath.constData());
        if (error != EEXIST) {
            outcome.error = Failure(path, SystemError(error));
            return outcome;
        }
    }
    outcome.error = Failure(path, QStringLiteral("the trash holds too many entries of that name"));
    return outcome;
}

}  // namespace melodrix
