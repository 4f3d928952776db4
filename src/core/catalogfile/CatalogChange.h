#pragma once

#include <QString>
#include <functional>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"

namespace melodrix {

// Every write of a catalog file goes through one of these: one step under the catalog's
// lock that reads, checks and writes, so that no writer saves a tree it read earlier over
// what another writer saved since.

// Applies `change` to the catalog at `path` and saves it. `tree` holds the catalog as this
// process last read or wrote it (its FileStamp); when the file is still that one, `change`
// is applied to `tree` itself. When another writer replaced the file since, the file is read
// again, `change` is applied to what it holds now, the result is saved and `tree` takes it
// (its observers see one reset), so `change` must find its items by what they are (their
// paths), not by node. `change` is told whether the tree was read again; it may throw to
// abandon the step, and then nothing is written. Returns whether the tree was read again.
// Throws TMelodrixError when the catalog no longer exists or cannot be read or written
// (the file then stays as it was), TCancelledError when the user stops the wait for the
// lock.
using TCatalogChangeFn = std::function<void(TCatalogTree& tree, bool readAgain)>;
bool SaveCatalogChange(IProgressSink& progress, const QString& path, TCatalogTree& tree,
                       const TCatalogChangeFn& change);

// The same for a writer that has not read the catalog: the file is read under the lock,
// changed and saved.
void ChangeCatalogFile(IProgressSink& progress, const QString& path,
                       const TCatalogChangeFn& change);

// Replaces whatever the catalog at `path` holds by `tree` (a new scan of it), under its lock,
// and records the file written in the tree's stamp.
void ReplaceCatalogFile(IProgressSink& progress, const QString& path, TCatalogTree& tree);

// Reads the catalog at `path` afresh when the file is no longer the one `tree` was read from
// (nothing happens otherwise, nor when the file is gone). Returns whether it was read. Takes no
// lock: a file is only ever replaced whole, so what is read is one writer's catalog.
bool ReloadCatalogIfChanged(IProgressSink& progress, const QString& path, TCatalogTree& tree);

}  // namespace melodrix
