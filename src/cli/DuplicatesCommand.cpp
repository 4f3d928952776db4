#include <QFileInfo>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/engine/FileInfo.h"
#include "core/index/SearchIndex.h"
#include "core/search/Duplicates.h"

namespace melodrix::cli {

namespace {

const char* const kDuplicatesUsage =
    "Usage: melodrix-cli [--library DIR] duplicates [--scope PATH]\n"
    "                    [--by name-size|size|artist-title|artist-album-title|\n"
    "                          artist-title-duration] [--json]\n"
    "Lists the files that share a key across the catalogs of the library, of the group or\n"
    "catalog PATH or of a folder outside the library, in groups of two or more, ordered by\n"
    "group. Keys: name and size (default); size alone; artist and title (case-folded, blanks\n"
    "trimmed, both non-empty); artist, album and title; artist and title with playing times\n"
    "within 2 seconds of each other (each run of such times is a group). Ends with the number of "
    "groups and the\n"
    "bytes that the extra copies take (all but the largest copy of each group).\n";

}  // namespace

int RunDuplicatesCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed =
        ParseArguments(args, {{QStringLiteral("scope"), true}, {QStringLiteral("by"), true}});
    if (parsed.help) {
        context.out << kDuplicatesUsage;
        return kExitOk;
    }
    if (!parsed.positional.isEmpty()) {
        throw TUsageError(QStringLiteral("duplicates takes no arguments, only options"));
    }
    TDuplicateKey key = TDuplicateKey::NameSize;
    if (parsed.Has(QStringLiteral("by"))) {
        const std::optional<TDuplicateKey> named =
            DuplicateKeyOfName(parsed.Value(QStringLiteral("by")));
        if (!named) {
            throw TUsageError(
                QStringLiteral("--by is name-size, size, artist-title, artist-album-title or "
                               "artist-title-duration"));
        }
        key = *named;
    }
    const TScopeArgument scope = ResolveScope(context, parsed);

    // No document: the catalog a search leaves behind is of no use here, and parsing it
    // would cost as much memory as the catalog's items.
    TFileInfo engine(context.progress, context.prompt);
    TCatalogTree hits;
    // Through the index the files are read twice, and only those that may have a copy kept.
    TSearchIndex index;
    const TDuplicates duplicates =
        engine.FindDuplicates(scope.scope, scope.path, key, hits, scope.linkRoot, &index);

    const QString summary = QStringLiteral("%1 groups, %2 files, %3 bytes in extra copies")
                                .arg(duplicates.groups)
                                .arg(hits.TopLevelCount())
                                .arg(duplicates.extraBytes);
    if (context.json) {
        for (int i = 0; i < hits.TopLevelCount(); ++i) {
            // The item's object with its group number first.
            const QString item = ItemJson(hits.TopLevel(i)->Item());
            context.out << "{\"Group\":" << duplicates.groupOfHit[static_cast<size_t>(i)] << ','
                        << QStringView(item).mid(1) << '\n';
        }
        context.out.flush();
        context.err << summary << '\n';
    } else {
        std::vector<QStringList> rows{{QStringLiteral("Group"), QStringLiteral("DiskName"),
                                       QStringLiteral("FileSize"), QStringLiteral("FullPath")}};
        for (int i = 0; i < hits.TopLevelCount(); ++i) {
            const TFileItem& item = hits.TopLevel(i)->Item();
            rows.push_back({QString::number(duplicates.groupOfHit[static_cast<size_t>(i)]),
                            TextOf(item.Field(DiskName)), TextOf(item.Field(FileSize)),
                            TextOf(item.Field(FullPath))});
        }
        PrintTable(context.out, rows);
        context.out << summary << '\n';
        context.out.flush();
    }
    for (const QString& file : duplicates.skipped) {
        context.err << "skipped, not a catalog: " << file << '\n';
    }
    return kExitOk;
}

}  // namespace melodrix::cli
