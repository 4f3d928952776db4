#pragma once

#include <QString>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"
#include "core/scan/ScanOptions.h"
#include "core/scan/ScanOutcome.h"

namespace melodrix {

struct TTimeFormat;

// Fills the tree with what it can read below the folder and tells what it could not.
// Times are written in `timeFormat` (the current locale's when null), which the catalog
// records with the mask and the only-folders choice. Music files get their audio properties
// unless `readAudioProperties` is false (which only measurements ask for).
TScanOutcome ScanFolderToTree(IProgressSink& progress, TCatalogTree& tree, const QString& folder,
                              const QString& maskList, bool onlyFolders, const QString& catalogFile,
                              const TTimeFormat* timeFormat = nullptr,
                              bool readAudioProperties = true);
// The same with every choice of a scan.
TScanOutcome ScanFolderToTree(IProgressSink& progress, TCatalogTree& tree, const QString& folder,
                              const TScanOptions& options, const QString& catalogFile);

}  // namespace melodrix
