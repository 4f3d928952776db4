#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"
#include "core/scan/ScanOutcome.h"

namespace melodrix {

enum class TChangeKind { Added, Removed, Changed };

// One field of an item that the disk changed.
struct TFieldChange {
    int Field = 0;
    std::string Before, After;
};

// One item an update adds, removes or changes.
struct TCatalogChange {
    TChangeKind Kind = TChangeKind::Added;
    std::string FullPath;  // as the updated catalog holds it; a removed item's old path
    bool IsDirectory = false;
    std::string Description;           // of a removed item: the description that goes
    std::vector<TFieldChange> Fields;  // of a changed item
};

// An update worked out but not written: the catalog as it would be saved and what
// differs from the catalog as it is.
struct TCatalogUpdate {
    QString Folder;           // the folder scanned
    TFileStamp CatalogStamp;  // the catalog file the update was worked out from
    std::unique_ptr<TCatalogTree> Tree;
    std::vector<TCatalogChange> Added, Removed, Changed;  // each in the catalogs' tree order

    // What the rescan could not read. Their items stay as the catalog has them: a folder
    // that could not be listed with everything below it, descriptions and all; a file that
    // could not be read with its tags (and its size and time, when not even those could be
    // learnt). They are not among the changes.
    std::vector<TScanProblem> UnlistedFolders, UnreadFiles;
    // Archives the rescan could not look inside: plain files now, their entries removed.
    std::vector<TScanProblem> PlainArchives;

    bool HasChanges() const { return !Added.empty() || !Removed.empty() || !Changed.empty(); }
    bool HasUnreadable() const { return !UnlistedFolders.empty() || !UnreadFiles.empty(); }
    // The removed items that carry a description: the descriptions an apply drops.
    std::vector<const TCatalogChange*> DroppedDescriptions() const;
};

// The folder a catalog was made from: the folder its scan was given, else the FullPath of
// its top-level item (without the volume label of a labelled drive root); empty for an
// empty catalog.
QString StoredScanFolder(const TCatalogTree& catalog);

// Rescans `folder` (StoredScanFolder when empty) with the mask and only-folders choice the
// catalog was made with, carries every description and every name the user gave over to
// the items found again (matched by their path below the folder), and reports the
// differences. Times are compared as times, read in the format the catalog records (or, for
// a catalog that records none, the format all its times are in), and the rescan writes them
// in that format too. Nothing is written. Throws TMelodrixError when there is no folder to
// scan, it does not exist, cannot be listed, or is empty while the catalog is not, and when
// the rescan ends early.
TCatalogUpdate UpdateCatalog(IProgressSink& progress, const TCatalogTree& catalog,
                             const QString& catalogFile, const QString& folder = QString());

// Saves the updated catalog over `catalogFile` under the catalog's lock; the old file is
// replaced only once the new one is complete. When the file changed since the update was
// worked out, the update is worked out again from the file as it is now (the folder is
// rescanned), so `update` may change; afterwards its Tree is the catalog as saved. Throws
// TMelodrixError on failure and when the catalog is gone, TCancelledError when the user
// stops the wait for the lock.
// When the update had to be worked out again and now finds folders or files it cannot read,
// it is saved only with `keepUnreadable` (their items are then kept as they were).
void ApplyCatalogUpdate(IProgressSink& progress, TCatalogUpdate& update, const QString& catalogFile,
                        bool keepUnreadable = true);

}  // namespace melodrix
