#include "core/library/LibraryOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "core/base/Errors.h"
#include "core/base/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalogfile/CatalogLock.h"

namespace melodrix {

namespace fs = std::filesystem;

namespace {

// Names on disk need not be UTF-8: every operation works on the real bytes of a path.
fs::path NativePath(const QString& path) {
    return fs::path(NativePathOf(path).toStdString());
}

QString TextOfNative(const fs::path& path) {
    return NativePathText(path.native());
}

QString SystemErrorText(const QString& action, const QString& path, const std::error_code& error) {
    return QStringLiteral("Cannot %1 %2: %3")
        .arg(action, QDir::toNativeSeparators(path), QString::fromLocal8Bit(error.message()));
}

// A catalog is renamed, moved or deleted under its lock, so that a save in progress ends first,
// and a writer waiting for the lock then finds the catalog gone and says so, instead of writing
// it back under its old name. (A group moves with every catalog in it; a save that was under
// way there fails on the vanished folder and reports it.) Links and folders are not locked.
// Returns why the lock could not be had (the wait was cancelled, the file cannot be opened),
// or the empty text.
QString LockCatalogFile(std::optional<TCatalogLock>& lock, const QString& path,
                        IProgressSink& progress) {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(NativePath(path), error))) {
        return QString();
    }
    try {
        lock.emplace(path, progress);
    } catch (const TMelodrixError& failure) {
        return failure.Message();
    }
    return QString();
}

QString CleanAbsolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool IsSameOrBelow(const QString& base, const QString& path) {
    if (base.isEmpty() || path.isEmpty()) {
        return false;
    }
    if (path == base) {
        return true;
    }
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    return path.startsWith(prefix);
}

// The real location of a directory, links resolved; empty when it does not exist.
QString CanonicalDirectory(const QString& path) {
    std::error_code error;
    const fs::path native = NativePath(path);
    if (!fs::is_directory(native, error)) {
        return {};
    }
    const fs::path canonical = fs::canonical(native, error);
    return error ? QString() : TextOfNative(canonical);
}

bool IsDirectoryEntry(const QString& path, bool followLink) {
    std::error_code error;
    const fs::path native = NativePath(path);
    return fs::is_directory(followLink ? fs::status(native, error)
                                       : fs::symlink_status(native, error));
}

const QString kAmbiguous = QStringLiteral(
    "%1 reads the same as another entry beside it whose name is in another encoding; "
    "rename one of them outside the program first.");

// Paths the program cannot tell from another one are left alone.
TLibraryResult Ambiguous(const QString& path) {
    return TLibraryResult::Failure(kAmbiguous.arg(QDir::toNativeSeparators(path)));
}

// Whether the entry at `path` is below the library, not the library itself, and its
// parent really lies inside the library (a linked group cannot lead out of it).
bool IsStrictlyInside(const QString& libraryPath, const QString& path) {
    const QString library = CleanAbsolute(libraryPath);
    const QString entry = CleanAbsolute(path);
    if (entry == library || !IsSameOrBelow(library, entry)) {
        return false;
    }
    const QString parent = CanonicalDirectory(QFileInfo(entry).path());
    return IsSameOrBelow(CanonicalDirectory(library), parent);
}

const QString kOutsideLibrary = QStringLiteral("%1 is not inside the catalog library.");

TLibraryResult Outside(const QString& path) {
    return TLibraryResult::Failure(kOutsideLibrary.arg(QDir::toNativeSeparators(path)));
}

bool IsFileSystemRoot(const fs::path& path) {
    const QString text = TextOfNative(path);
    return QDir::cleanPath(text) == QDir::rootPath() || IsVolumeRoot(text);
}

TLibraryResult DeleteTree(const fs::path& directory) {
    std::error_code error;
    const QString name = TextOfNative(directory);
    // Entries of a read-only directory cannot be removed until it is writable again.
    // Best effort: when it fails, the removal below reports the real reason.
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::add, error);
    error.clear();
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        entries.push_back(it->path());
    }
    if (error) {
        return TLibraryResult::Failure(SystemErrorText(QStringLiteral("list"), name, error));
    }
    for (const fs::path& entry : entries) {
        const fs::file_status status = fs::symlink_status(entry, error);
        if (error) {
            return TLibraryResult::Failure(
                SystemErrorText(QStringLiteral("delete"), TextOfNative(entry), error));
        }
        if (fs::is_directory(status)) {
            TLibraryResult result = DeleteTree(entry);
            if (!result) {
                return result;
            }
            continue;
        }
        fs::remove(entry, error);  // an entry that vanished meanwhile is fine
        if (error) {
            return TLibraryResult::Failure(
                SystemErrorText(QStringLiteral("delete"), TextOfNative(entry), error));
        }
    }
    if (IsFileSystemRoot(directory)) {
        return TLibraryResult::Success();
    }
    fs::remove(directory, error);
    if (error) {
        return TLibraryResult::Failure(SystemErrorText(QStringLiteral("delete"), name, error));
    }
    return TLibraryResult::Success();
}

QString CatalogDisplayName(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

void SetText(TFileItem& item, int field, const QString& text) {
    item.SetField(field, text.toUtf8().toStdString());
}

QString TextOf(const TFileItem& item, int field) {
    const std::string_view text = item.Field(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString ParentDirectoryOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(PathDelimiter());
    return slash < 0 ? QString() : path.left(slash + 1);
}

bool AnythingExistsAt(const QString& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(NativePath(path), error));
}

bool EntryExists(const QString& path, bool asDirectory) {
    std::error_code error;
    const fs::file_status status = fs::status(NativePath(path), error);
    return asDirectory ? fs::is_directory(status) : fs::exists(status) && !fs::is_directory(status);
}

bool IsOutsideDragged(const TCatalogNode* dragged, const TCatalogNode* target) {
    for (const TCatalogNode* node = target; node; node = node->Parent()) {
        if (node == dragged) {
            return false;
        }
    }
    return true;
}

QString ValidateEntryName(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("Please type a name.");
    }
    if (name == QLatin1String(".") || name == QLatin1String("..")) {
        return QStringLiteral("The name \"%1\" cannot be used.").arg(name);
    }
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(PathDelimiter())) {
        return QStringLiteral("A name cannot contain \"/\" or \"\\\".");
    }
    if (name.contains(QChar(u'\0'))) {
        return QStringLiteral("A name cannot contain a NUL character.");
    }
    // It would be a hidden file, and a catalog "x" shown without a name.
    if (name.startsWith(QLatin1Char('.'))) {
        return QStringLiteral("A name cannot start with \".\".");
    }
    return {};
}

bool IsWithinLibrary(const QString& libraryPath, const QString& path) {
    return IsSameOrBelow(CleanAbsolute(libraryPath), CleanAbsolute(path));
}

TLibraryResult CreateGroupDirectory(const QString& libraryPath, const QString& path) {
    const QString refusal = ValidateEntryName(QFileInfo(path).fileName());
    if (!refusal.isEmpty()) {
        return TLibraryResult::Failure(refusal);
    }
    if (!IsStrictlyInside(libraryPath, path)) {
        return Outside(path);
    }
    if (AnythingExistsAt(path)) {
        return TLibraryResult::Failure(kNameExistsMessage);
    }
    std::error_code error;
    if (!fs::create_directory(NativePath(path), error) || error) {
        return TLibraryResult::Failure(SystemErrorText(QStringLiteral("create"), path, error));
    }
    return TLibraryResult::Success();
}

QString RenamedEntryPath(const TFileItem& item, const QString& typedName) {
    QString path = ParentDirectoryOf(TextOf(item, FullPath)) + typedName;
    if (item.IsFile()) {
        path += kCatalogExtension;
    }
    return path;
}

TLibraryResult RenameLibraryEntry(TCatalogTree& tree, TCatalogNode* node,
                                  const QString& libraryPath, const QString& typedName,
                                  IProgressSink& progress) {
    if (!node) {
        return TLibraryResult::Failure(QStringLiteral("Nothing is selected."));
    }
    TFileItem& item = node->Item();
    if (TextOf(item, FileName) == typedName) {
        return TLibraryResult::Success();
    }
    const QString refusal = ValidateEntryName(typedName);
    if (!refusal.isEmpty()) {
        return TLibraryResult::Failure(refusal);
    }
    const QString oldPath = TextOf(item, FullPath);
    const QString newPath = RenamedEntryPath(item, typedName);
    if (!IsStrictlyInside(libraryPath, oldPath)) {
        return Outside(oldPath);
    }
    if (!IsStrictlyInside(libraryPath, newPath)) {
        return Outside(newPath);
    }
    if (IsAmbiguousPath(oldPath)) {
        return Ambiguous(oldPath);
    }
    if (AnythingExistsAt(newPath)) {
        return TLibraryResult::Failure(kNameExistsMessage);
    }
    std::optional<TCatalogLock> lock;
    if (const QString refused = LockCatalogFile(lock, oldPath, progress); !refused.isEmpty()) {
        return TLibraryResult::Failure(refused);
    }
    std::error_code error;
    fs::rename(NativePath(oldPath), NativePath(newPath), error);
    if (error) {
        return TLibraryResult::Failure(SystemErrorText(QStringLiteral("rename"), oldPath, error));
    }
    SetText(item, FileName, typedName);
    SetText(item, FullPath, newPath);
    if (item.IsFile()) {
        SetText(item, DiskName, CatalogDisplayName(typedName));
    } else {
        RewriteDescendantPaths(tree, node, WithTrailingBackslash(oldPath),
                               WithTrailingBackslash(newPath));
    }
    tree.NotifyNodeChanged(node);
    return TLibraryResult::Success();
}

void RewriteDescendantPaths(TCatalogTree& tree, TCatalogNode* node, const QString& oldPrefix,
                            const QString& newPrefix) {
    const QByteArray oldBytes = oldPrefix.toUtf8();
    const QByteArray newBytes = newPrefix.toUtf8();
    const std::string_view from(oldBytes.constData(), static_cast<size_t>(oldBytes.size()));
    std::string path;
    ForEachDescendant(node, [&](TCatalogNode* descendant) {
        const std::string_view current = descendant->Item().Field(FullPath);
        if (!current.starts_with(from)) {
            return;
        }
        path.assign(newBytes.constData(), static_cast<size_t>(newBytes.size()));
        path.append(current.substr(from.size()));
        descendant->Item().SetField(FullPath, path);
        tree.NotifyNodeChanged(descendant);
    });
}

TLibraryResult MoveLibraryEntry(const QString& libraryPath, const QString& source,
                                const QString& destination, IProgressSink& progress) {
    if (!IsStrictlyInside(libraryPath, source)) {
        return Outside(source);
    }
    const QString library = CanonicalDirectory(libraryPath);
    const QString target = CanonicalDirectory(destination);
    if (!IsWithinLibrary(libraryPath, destination) || !IsSameOrBelow(library, target)) {
        return Outside(destination);
    }
    if (!AnythingExistsAt(source)) {
        return TLibraryResult::Failure(
            QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(source)));
    }
    if (IsAmbiguousPath(source)) {
        return Ambiguous(source);
    }
    // The source's own location, its parent resolved but not the entry (a link moves as a link).
    const QString name = QFileInfo(CleanAbsolute(source)).fileName();
    const QString parent = CanonicalDirectory(QFileInfo(CleanAbsolute(source)).path());
    const QString real = parent + QLatin1Char('/') + name;
    const bool sourceIsDirectory = IsDirectoryEntry(real, false);
    if (sourceIsDirectory && IsSameOrBelow(real, target)) {
        return TLibraryResult::Failure(QStringLiteral("A group cannot be moved into itself."));
    }
    if (parent == target) {
        return TLibraryResult::Success();
    }
    const QString moved = target + QLatin1Char('/') + name;
    if (AnythingExistsAt(moved)) {
        return TLibraryResult::Failure(kNameExistsMessage);
    }
    std::optional<TCatalogLock> lock;
    if (const QString refused = LockCatalogFile(lock, real, progress); !refused.isEmpty()) {
        return TLibraryResult::Failure(refused);
    }
    // The entry keeps its own name bytes in its new place.
    const fs::path from = NativePath(real);
    std::error_code error;
    fs::rename(from, NativePath(target) / from.filename(), error);
    if (error) {
        return TLibraryResult::Failure(SystemErrorText(QStringLiteral("move"), source, error));
    }
    return TLibraryResult::Success();
}

TLibraryResult DeleteDirectoryTree(const QString& directory) {
    const fs::path path = NativePath(directory);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error) {
        return TLibraryResult::Failure(SystemErrorText(QStringLiteral("delete"), directory, error));
    }
    if (!fs::is_directory(status)) {
        return TLibraryResult::Failure(
            QStringLiteral("%1 is not a directory.").arg(QDir::toNativeSeparators(directory)));
    }
    return DeleteTree(path);
}

TLibraryResult DeleteLibraryEntry(const QString& libraryPath, const QString& path, bool isDirectory,
                                  IProgressSink& progress) {
    if (!IsStrictlyInside(libraryPath, path)) {
        return Outside(path);
    }
    if (IsAmbiguousPath(path)) {
        return Ambiguous(path);
    }
    std::error_code error;
    const fs::path native = NativePath(path);
    // A linked group or catalog: the link goes, never what it points to.
    const bool link = fs::is_symlink(fs::symlink_status(native, error));
    if (isDirectory && !link) {
        return DeleteDirectoryTree(path);
    }
    if (fs::is_directory(fs::symlink_status(native, error))) {
        return TLibraryResult::Failure(
            QStringLiteral("%1 is a directory.").arg(QDir::toNativeSeparators(path)));
    }
    std::optional<TCatalogLock> lock;
    if (const QString refused = LockCatalogFile(lock, path, progress); !refused.isEmpty()) {
        return TLibraryResult::Failure(refused);
    }
    if (!fs::remove(native, error) || error) {
        if (!error) {
            error = std::make_error_code(std::errc::no_such_file_or_directory);
        }
        return TLibraryResult::Failure(SystemErrorText(QStringLiteral("delete"), path, error));
    }
    return TLibraryResult::Success();
}

TLibraryResult TrashLibraryEntry(const QString& libraryPath, const QString& path,
                                 IProgressSink& progress, const QByteArray& homeTrash) {
    if (!IsStrictlyInside(libraryPath, path)) {
        return Outside(path);
    }
    if (IsAmbiguousPath(path)) {
        return Ambiguous(path);
    }
    if (!AnythingExistsAt(path)) {
        return TLibraryResult::Failure(
            QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(path)));
    }
    std::optional<TCatalogLock> lock;
    if (const QString refused = LockCatalogFile(lock, path, progress); !refused.isEmpty()) {
        return TLibraryResult::Failure(refused);
    }
    const TTrashOutcome outcome = MoveToTrash(NativePathOf(path), homeTrash);
    if (!outcome) {
        return TLibraryResult::Failure(outcome.error);
    }
    return TLibraryResult::Success();
}

}  // namespace melodrix
