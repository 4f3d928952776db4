#include <QDateTime>
#include <QDir>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/index/SearchIndex.h"

namespace melodrix::cli {

namespace {

const char* const kIndexUsage =
    "Usage: melodrix-cli [--library DIR] index [--rebuild] [--json]\n"
    "Shows the search index of the library: how many catalogs it holds a current copy of,\n"
    "their items, the size of the copies beside that of the catalogs, and when the copies\n"
    "were made. Copies that are missing or stale are made first, and copies of catalogs that\n"
    "no longer exist are dropped; --rebuild makes every copy again. The index lives in the\n"
    "user's cache folder (see Folder); deleting it loses nothing, since `search` remakes\n"
    "any copy it needs.\n";

QString TimeText(int64_t ms) {
    return ms == 0 ? QStringLiteral("-") : QDateTime::fromMSecsSinceEpoch(ms).toString(Qt::ISODate);
}

}  // namespace

int RunIndexCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {{QStringLiteral("rebuild")}});
    if (parsed.help) {
        context.out << kIndexUsage;
        return kExitOk;
    }
    if (!parsed.positional.isEmpty()) {
        throw TUsageError(QStringLiteral("index takes no arguments besides --rebuild"));
    }
    const QString library = context.LibraryPath();
    if (!QDir(library).exists()) {
        throw TMelodrixError(QStringLiteral("no library at %1").arg(library));
    }
    TSearchIndex index;
    const TIndexSurvey survey =
        index.Survey(library, parsed.Has(QStringLiteral("rebuild")), context.progress);
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const int64_t ageSeconds = survey.oldestMs == 0 ? 0 : (now - survey.oldestMs) / 1000;
    if (context.json) {
        context.out << "{\"library\":" << JsonString(QStringView(library))
                    << ",\"folder\":" << JsonString(QStringView(index.Folder()))
                    << ",\"catalogs\":" << survey.catalogs << ",\"current\":" << survey.current
                    << ",\"made\":" << survey.made << ",\"items\":" << survey.items
                    << ",\"bytes\":" << survey.bytes << ",\"catalogBytes\":" << survey.catalogBytes
                    << ",\"oldest\":" << JsonString(QStringView(TimeText(survey.oldestMs)))
                    << ",\"newest\":" << JsonString(QStringView(TimeText(survey.newestMs)))
                    << ",\"ageSeconds\":" << ageSeconds << ",\"removed\":" << survey.removed
                    << ",\"unreadable\":[";
        for (qsizetype i = 0; i < survey.unreadable.size(); ++i) {
            context.out << (i ? "," : "") << JsonString(QStringView(survey.unreadable[i]));
        }
        context.out << "]}\n";
    } else {
        PrintTable(context.out,
                   {{QStringLiteral("Library:"), library},
                    {QStringLiteral("Folder:"), index.Folder()},
                    {QStringLiteral("Catalogs:"), QStringLiteral("%1 (%2 current, %3 made now)")
                                                      .arg(survey.catalogs)
                                                      .arg(survey.current)
                                                      .arg(survey.made)},
                    {QStringLiteral("Items:"), QString::number(survey.items)},
                    {QStringLiteral("Size:"), QStringLiteral("%1 bytes (catalogs: %2 bytes)")
                                                  .arg(survey.bytes)
                                                  .arg(survey.catalogBytes)},
                    {QStringLiteral("Oldest copy:"), TimeText(survey.oldestMs)},
                    {QStringLiteral("Newest copy:"), TimeText(survey.newestMs)},
                    {QStringLiteral("Dropped:"), QString::number(survey.removed)}});
    }
    context.out.flush();
    for (const QString& file : survey.unreadable) {
        context.err << "skipped, not a catalog: " << file << '\n';
    }
    return kExitOk;
}

}  // namespace melodrix::cli
