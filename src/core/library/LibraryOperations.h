#pragma once

#include <QString>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"
#include "core/library/Trash.h"

namespace melodrix {

// Changes to the library on disk, made for the library dialog. None of them creates,
// renames, moves or deletes anything outside the library directory, and a refused or
// failed operation changes nothing in the tree it was given.

inline const QString kNameExistsMessage = QStringLiteral("A file with the name already exists!");
inline const QString kNewGroupName = QStringLiteral("NewGroup");
inline const QString kCatalogExtension = QStringLiteral(".xml");

// The outcome of a library operation. When `ok` is false, `error` is a sentence for a
// "Warning" message box and nothing changed on disk (except for a deletion that stopped
// part way, which says so).
struct TLibraryResult {
    bool ok = true;
    QString error;

    static TLibraryResult Success() { return {}; }
    static TLibraryResult Failure(const QString& message) { return {false, message}; }
    explicit operator bool() const { return ok; }
};

// The path up to and including its last separator; empty when it has none.
QString ParentDirectoryOf(const QString& path);

// Whether a directory (asDirectory) or a file (otherwise) exists at the path.
bool EntryExists(const QString& path, bool asDirectory);
// Whether anything (a dangling link too) is at the path.
bool AnythingExistsAt(const QString& path);

// False when `target` is `dragged` or lies below it: a drop there would move an entry
// into itself. True otherwise (also when either is null).
bool IsOutsideDragged(const TCatalogNode* dragged, const TCatalogNode* target);

// Why a typed group or catalog name cannot be used, or the empty text when it can: the
// empty name, names starting with "." and names holding a path separator or a NUL are
// refused.
QString ValidateEntryName(const QString& name);

// Whether `path` is the library directory itself or lies below it (by its lexical form,
// after "." and ".." are resolved).
bool IsWithinLibrary(const QString& libraryPath, const QString& path);

// Creates the directory of a new group. Refused when the path is not strictly inside the
// library, when its last component is not a valid name, or when anything already exists
// there (kNameExistsMessage).
TLibraryResult CreateGroupDirectory(const QString& libraryPath, const QString& path);

// Where a node will live after being renamed to `typedName`: its parent directory and the
// name, with ".xml" added for catalogs.
QString RenamedEntryPath(const TFileItem& item, const QString& typedName);

// Renames the group or catalog of `node` to `typedName`. Typing the current name is a
// success that changes nothing. On success the node shows the typed name and its new
// path, and every node below a renamed group has its FullPath rewritten; observers of
// `tree` are told of each changed node. Refused when the name is invalid, when the entry
// is the library itself or outside it, or when the new name exists (kNameExistsMessage).
// A catalog is renamed under its lock; `progress` shows a wait for it, which can be cancelled
// (the rename is then refused).
TLibraryResult RenameLibraryEntry(TCatalogTree& tree, TCatalogNode* node,
                                  const QString& libraryPath, const QString& typedName,
                                  IProgressSink& progress = SilentProgress());

// Rewrites the FullPath of every node below `node` that starts with `oldPrefix` to start
// with `newPrefix` instead, telling the tree's observers. For a group renamed in place.
void RewriteDescendantPaths(TCatalogTree& tree, TCatalogNode* node, const QString& oldPrefix,
                            const QString& newPrefix);

// Moves the group or catalog at `source` into the group directory `destination`, keeping
// its name. Refused when either lies outside the library, when the source is the library
// itself, when the destination is the source or below it, when the destination is not a
// directory, or when an entry of the same name exists there (kNameExistsMessage); nothing
// moves then. Moving an entry into the group it is in already succeeds without change.
// A catalog moves under its lock, as a rename does.
TLibraryResult MoveLibraryEntry(const QString& libraryPath, const QString& source,
                                const QString& destination,
                                IProgressSink& progress = SilentProgress());

// Deletes the directory with everything in it, read-only entries included; links are
// removed, never followed. A file-system root is emptied but never removed. Stops at the
// first failure with the system's error text; what was deleted before stays deleted.
TLibraryResult DeleteDirectoryTree(const QString& directory);

// Deletes a group (with DeleteDirectoryTree) or a catalog file, refusing anything that
// is not strictly inside the library. A linked group or catalog loses its link only. A
// catalog is deleted under its lock, as a rename does.
TLibraryResult DeleteLibraryEntry(const QString& libraryPath, const QString& path, bool isDirectory,
                                  IProgressSink& progress = SilentProgress());

// Moves a group (with everything in it) or a catalog to the desktop's trash (MoveToTrash),
// so that the user can put it back, refusing anything that is not strictly inside the
// library. A linked group or catalog goes as the link. A catalog goes under its lock, as a
// rename does; a group goes whole, as a move does.
TLibraryResult TrashLibraryEntry(const QString& libraryPath, const QString& path,
                                 IProgressSink& progress = SilentProgress(),
                                 const QByteArray& homeTrash = HomeTrashDirectory());

}  // namespace melodrix
