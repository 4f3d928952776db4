#include "core/catalogfile/CatalogChange.h"

#include "core/base/Errors.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/catalogfile/CatalogWriter.h"

namespace melodrix {

namespace {

void RequireCatalog(const TCatalogLock& lock) {
    if (!lock.Exists()) {
        throw TMelodrixError(QStringLiteral("The catalog %1 no longer exists (it was renamed, "
                                            "moved or deleted). Nothing was saved.")
                                 .arg(lock.Path()));
    }
}

void WriteLocked(IProgressSink& progress, const TCatalogLock& lock, TCatalogTree& tree) {
    TProgressScope scope(progress, kGatheringInfo);
    tree.SetFileStamp(WriteCatalogTreeFile(lock.Path(), tree));
}

// Reads the locked catalog into a tree of its own, so a failure leaves the caller's alone.
void ReadLocked(IProgressSink& progress, const TCatalogLock& lock, TCatalogTree& fresh) {
    TProgressScope scope(progress, kLoadingInfo);
    ReadCatalogTreeFile(lock.Path(), fresh);
    fresh.SetFileStamp(lock.Stamp());
}

}  // namespace

bool SaveCatalogChange(IProgressSink& progress, const QString& path, TCatalogTree& tree,
                       const TCatalogChangeFn& change) {
    const TCatalogLock lock(path, progress);
    RequireCatalog(lock);
    if (tree.FileStamp().Exists && tree.FileStamp() == lock.Stamp()) {
        change(tree, false);
        WriteLocked(progress, lock, tree);
        return false;
    }
    TCatalogTree fresh;
    ReadLocked(progress, lock, fresh);
    change(fresh, true);
    // The tree shows what the disk holds with the change, also when the write fails; its
    // stamp then still names the file on disk, so the next save needs no second reading.
    try {
        WriteLocked(progress, lock, fresh);
    } catch (...) {
        tree.TakeContents(fresh);
        throw;
    }
    tree.TakeContents(fresh);
    return true;
}

void ChangeCatalogFile(IProgressSink& progress, const QString& path,
                       const TCatalogChangeFn& change) {
    TCatalogTree tree;
    SaveCatalogChange(progress, path, tree, change);
}

void ReplaceCatalogFile(IProgressSink& progress, const QString& path, TCatalogTree& tree) {
    const TCatalogLock lock(path, progress);
    WriteLocked(progress, lock, tree);
}

bool ReloadCatalogIfChanged(IProgressSink& progress, const QString& path, TCatalogTree& tree) {
    const TFileStamp now = FileStampOf(path);
    if (!now.Exists || now == tree.FileStamp()) {
        return false;
    }
    TProgressScope scope(progress, kLoadingInfo);
    ReadCatalogTreeFile(path, tree);
    return true;
}

}  // namespace melodrix
