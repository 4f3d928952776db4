#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include <vector>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"

namespace melodrix::cli {

// What every command of the command-line tool shares: where the library is, how to
// print, and the sinks the engine reports through. No command ever prompts: the prompt
// sink declines every question.
struct TCliContext {
    TCliContext(QTextStream& out, QTextStream& err, IProgressSink& progress, IPromptSink& prompt)
        : out(out), err(err), progress(progress), prompt(prompt) {}

    QString libraryOption;  // --library DIR, empty when not given
    bool json = false;      // --json: one JSON object per line instead of a table
    QTextStream& out;
    QTextStream& err;
    IProgressSink& progress;
    IPromptSink& prompt;

    // The library directory: --library, else the desktop program's library.
    QString LibraryPath() const;

    // A tree for a whole catalog, held until the command-line tool ends: its exit gives back
    // a million items at once, much faster than freeing them one by one.
    TCatalogTree& NewCatalogTree() {
        return *keptTrees.emplace_back(std::make_unique<TCatalogTree>());
    }
    std::vector<std::unique_ptr<TCatalogTree>> keptTrees;
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

// Each command gets the arguments after its name (--library and --json already taken
// out) and returns the exit status. Usage errors are thrown as TUsageError, other
// failures as TMelodrixError; main turns them into one line on stderr.
int RunScanCommand(TCliContext& context, const QStringList& args);
int RunListCommand(TCliContext& context, const QStringList& args);
int RunShowCommand(TCliContext& context, const QStringList& args);
int RunSearchCommand(TCliContext& context, const QStringList& args);
int RunDuplicatesCommand(TCliContext& context, const QStringList& args);
int RunStatsCommand(TCliContext& context, const QStringList& args);
int RunIndexCommand(TCliContext& context, const QStringList& args);
int RunTagsCommand(TCliContext& context, const QStringList& args);
int RunExportCommand(TCliContext& context, const QStringList& args);
int RunInfoCommand(TCliContext& context, const QStringList& args);
int RunDescribeCommand(TCliContext& context, const QStringList& args);
int RunUpdateCommand(TCliContext& context, const QStringList& args);

}  // namespace melodrix::cli
