#include "core/catalogfile/CatalogChange.h"

#include "core/catalog/Errors.h"
#include "core/catalogfile/CatalogLock.h"
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

void WriteLocked(TFileInfo& engine, const TCatalogLock& lock, TCatalogTree& tree) {
    TProgressScope progress(engine.Progress(), kGatheringInfo);
    tree.SetFileStamp(WriteCatalogTreeFile(lock.Path(), tree));
}

// Reads the locked catalog into a tree of its own, so a failure leaves the caller's alone.
void ReadLocked(TFileInfo& engine, const TCatalogLock& lock, TCatalogTree& fresh) {
    engine.OpenCatalogTree(lock.Path(), fresh);
    fresh.SetFileStamp(lock.Stamp());
}

}  // namespace

bool SaveCatalogChange(TFileInfo& engine, const QString& path, TCatalogTree& tree,
                       const TCatalogChangeFn& change) {
    const TCatalogLock lock(path, engine.Progress());
    RequireCatalog(lock);
    if (tree.FileStamp().Exists && tree.FileStamp() == lock.Stamp()) {
        change(tree, false);
        WriteLocked(engine, lock, tree);
        return false;
    }
    TCatalogTree fresh;
    ReadLocked(engine, lock, fresh);
    change(fresh, true);
    // The tree shows what the disk holds with the change, also when the write fails; its
    // stamp then still names the file on disk, so the next save needs no second reading.
    try {
        WriteLocked(engine, lock, fresh);
    } catch (...) {
        tree.TakeContents(fresh);
        throw;
    }
    tree.TakeContents(fresh);
    return true;
}

void ChangeCatalogFile(TFileInfo& engine, const QString& path, const TCatalogChangeFn& change) {
    TCatalogTree tree;
    SaveCatalogChange(engine, path, tree, change);
}

void ReplaceCatalogFile(TFileInfo& engine, const QString& path, TCatalogTree& tree) {
    const TCatalogLock lock(path, engine.Progress());
    WriteLocked(engine, lock, tree);
}

bool ReloadCatalogIfChanged(TFileInfo& engine, const QString& path, TCatalogTree& tree) {
    const TFileStamp now = FileStampOf(path);
    if (!now.Exists || now == tree.FileStamp()) {
        return false;
    }
    engine.OpenCatalogTree(path, tree);
    return true;
}

}  // namespace melodrix
