#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// A folder the scan could not list, or a file it could not read.
struct TScanProblem {
    QString Path;          // the folder or file on disk
    std::string FullPath;  // its item's FullPath in the scanned tree
    QString Error;         // what the system said, such as "Permission denied"
    // False when not even the entry's size and time could be learnt.
    bool Examined = true;
};

// How a scan went. The tree holds what could be read: a folder that could not be listed is
// an item without children (kept even when a mask would prune it, since what it holds is not
// known), a file that could not be read has no tags.
struct TScanOutcome {
    std::vector<TScanProblem> UnlistedFolders;
    std::vector<TScanProblem> UnreadFiles;
    // Archives the scan could not look inside (damaged, encrypted, over a limit): each is a
    // plain file in the tree.
    std::vector<TScanProblem> PlainArchives;
    // What ended the scan before the walk was over; empty when it ran to the end.
    QString Failure;

    bool Complete() const {
        return UnlistedFolders.empty() && UnreadFiles.empty() && PlainArchives.empty() &&
               Failure.isEmpty();
    }
};

// Why the scan of `folder` into `tree` makes no catalog, or the empty text when it does: a
// scan that ended early, or one that could not list the folder itself, would replace a
// catalog with a part of it.
QString WhyNoCatalog(const TScanOutcome& outcome, const TCatalogTree& tree, const QString& folder);

// The system's text for an errno value.
QString ScanErrorText(int error);

// One line per problem ("Could not list the folder /a/b: Permission denied"), the failure
// that cut the scan short first.
QStringList ScanProblemLines(const TScanOutcome& outcome);

// A message that the catalog holds only what could be read, with the first `mostLines` of
// those lines and the number of the others.
QString ScanProblemsMessage(const TScanOutcome& outcome, qsizetype mostLines = 20);

}  // namespace melodrix
