// melodrix-cli stats: where the space and the playing time of a catalog, a group or the whole
// library go, and what is wrong with its tags, read from the catalog files alone.
#include <QFileInfo>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/catalog/ValueFunctions.h"
#include "core/search/Statistics.h"

namespace melodrix::cli {

namespace {

const char* const kStatsUsage =
    "Usage: melodrix-cli [--library DIR] stats [CATALOG | --scope PATH] [--health] [--json]\n"
    "Reads the catalogs of the library, of the group or catalog PATH, or the one CATALOG, and\n"
    "prints their files and sizes by kind (music, images, video, documents, other); the music\n"
    "files by genre (the 15 most common and \"other\"), by decade of MP3_Year, by codec and by\n"
    "bitrate band; the playing time of the 20 longest-playing artists; the catalogs side by\n"
    "side; and the counts of tag problems: music files without title or artist, titles,\n"
    "artists or albums that read like mis-decoded text (\"CafÃ©\"), albums whose track numbers\n"
    "leave some out, albums whose artist is spelled several ways, and MP3 files whose ID3v1\n"
    "and ID3v2 tags disagree (as the scan found them). --health lists those files as well.\n"
    "Nothing is read from the disks themselves.\n";

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString JsonTallies(const std::vector<TTally>& tallies) {
    QString json;
    for (const TTally& tally : tallies) {
        json += (json.isEmpty() ? QString() : QStringLiteral(",")) +
                QStringLiteral("{\"name\":%1,\"files\":%2,\"bytes\":%3,\"playingTimeMs\":%4}")
                    .arg(JsonString(tally.name))
                    .arg(tally.files)
                    .arg(tally.bytes)
                    .arg(tally.durationMs);
    }
    return QLatin1Char('[') + json + QLatin1Char(']');
}

void PrintJson(QTextStream& out, const QString& scope, const TStatistics& s, bool rows) {
    QString catalogs;
    for (const TCatalogTally& c : s.catalogs) {
        catalogs += (catalogs.isEmpty() ? QString() : QStringLiteral(",")) +
                    QStringLiteral(
                        "{\"catalog\":%1,\"diskName\":%2,\"items\":%3,\"files\":%4,\"bytes\":%5,"
                        "\"playingTimeMs\":%6}")
                        .arg(JsonString(QStringView(c.catalogFile)), JsonString(c.diskName))
                        .arg(c.items)
                        .arg(c.files)
                        .arg(c.bytes)
                        .arg(c.durationMs);
    }
    QString health;
    for (size_t p = 0; p < std::size(s.healthCounts); ++p) {
        health += (health.isEmpty() ? QString() : QStringLiteral(",")) +
                  QStringLiteral("%1:%2")
                      .arg(JsonString(HealthProblemName(static_cast<THealthProblem>(p))))
                      .arg(s.healthCounts[p]);
    }
    out << "{\"scope\":" << JsonString(QStringView(scope)) << ",\"files\":" << s.files
        << ",\"folders\":" << s.folders << ",\"bytes\":" << s.bytes
        << ",\"musicFiles\":" << s.musicFiles << ",\"playingTimeMs\":" << s.durationMs
        << ",\"kinds\":" << JsonTallies(s.kinds) << ",\"genres\":" << JsonTallies(s.genres)
        << ",\"decades\":" << JsonTallies(s.decades) << ",\"codecs\":" << JsonTallies(s.codecs)
        << ",\"bitrates\":" << JsonTallies(s.bitrates) << ",\"artists\":" << JsonTallies(s.artists)
        << ",\"catalogs\":[" << catalogs << "],\"health\":{" << health << '}';
    if (rows) {
        QString list;
        for (const THealthRow& row : s.healthRows) {
            list += (list.isEmpty() ? QString() : QStringLiteral(",")) +
                    QStringLiteral("{\"problem\":%1,\"catalog\":%2,\"FullPath\":%3,\"detail\":%4}")
                        .arg(JsonString(HealthProblemName(row.problem)),
                             JsonString(QStringView(row.catalogFile)), JsonString(row.fullPath),
                             JsonString(row.detail));
        }
        out << ",\"healthRows\":[" << list << ']';
    }
    out << "}\n";
}

void PrintTallies(QTextStream& out, const char* heading, const std::vector<TTally>& tallies,
                  bool byTime) {
    if (tallies.empty()) {
        return;
    }
    out << heading << '\n';
    std::vector<QStringList> rows;
    for (const TTally& tally : tallies) {
        rows.push_back(
            {QStringLiteral("  ") + Text(tally.name),
             byTime ? DurationText(tally.durationMs) : QStringLiteral("%1 files").arg(tally.files),
             byTime ? QStringLiteral("%1 files").arg(tally.files)
                    : QStringLiteral("%1 bytes").arg(tally.bytes)});
    }
    PrintTable(out, rows);
}

void PrintText(QTextStream& out, const QString& scope, const TStatistics& s, bool rows) {
    PrintTable(out, {{QStringLiteral("Scope:"), scope},
                     {QStringLiteral("Files:"), QString::number(s.files)},
                     {QStringLiteral("Folders:"), QString::number(s.folders)},
                     {QStringLiteral("Total size:"), QString::number(s.bytes)},
                     {QStringLiteral("Music files:"), QString::number(s.musicFiles)},
                     {QStringLiteral("Playing time:"), DurationText(s.durationMs)}});
    PrintTallies(out, "By kind:", s.kinds, false);
    PrintTallies(out, "Music by genre:", s.genres, false);
    PrintTallies(out, "Music by decade:", s.decades, false);
    PrintTallies(out, "Music by codec:", s.codecs, false);
    PrintTallies(out, "Music by bitrate (kbit/s):", s.bitrates, false);
    PrintTallies(out, "Playing time by artist:", s.artists, true);
    if (s.catalogs.size() > 1) {
        out << "Catalogs:\n";
        std::vector<QStringList> table;
        for (const TCatalogTally& c : s.catalogs) {
            table.push_back({QStringLiteral("  ") + QFileInfo(c.catalogFile).completeBaseName(),
                             QStringLiteral("%1 items").arg(c.items),
                             QStringLiteral("%1 bytes").arg(c.bytes), DurationText(c.durationMs)});
        }
        PrintTable(out, table);
    }
    out << "Tag health:\n";
    std::vector<QStringList> counts;
    for (size_t p = 0; p < std::size(s.healthCounts); ++p) {
        counts.push_back(
            {QStringLiteral("  ") +
                 QString::fromLatin1(HealthProblemName(static_cast<THealthProblem>(p))) +
                 QLatin1Char(':'),
             QString::number(s.healthCounts[p])});
    }
    PrintTable(out, counts);
    if (rows && !s.healthRows.empty()) {
        std::vector<QStringList> list{
            {QStringLiteral("Problem"), QStringLiteral("FullPath"), QStringLiteral("Detail")}};
        for (const THealthRow& row : s.healthRows) {
            list.push_back({QString::fromLatin1(HealthProblemName(row.problem)), Text(row.fullPath),
                            Text(row.detail)});
        }
        PrintTable(out, list);
    }
}

}  // namespace

int RunStatsCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed =
        ParseArguments(args, {{QStringLiteral("scope"), true}, {QStringLiteral("health")}});
    if (parsed.help) {
        context.out << kStatsUsage;
        return kExitOk;
    }
    if (parsed.positional.size() > 1 ||
        (parsed.positional.size() == 1 && parsed.Has(QStringLiteral("scope")))) {
        throw TUsageError(QStringLiteral("stats takes one catalog or a --scope, not both"));
    }
    TScopeArgument scope;
    if (parsed.positional.size() == 1) {
        scope.path = ResolveCatalogFile(context, parsed.positional.first());
        scope.scope = TSearchScope::Catalog;
    } else {
        scope = ResolveScope(context, parsed);
    }
    const bool rows = parsed.Has(QStringLiteral("health"));
    const TStatistics figures =
        GatherStatistics(context.progress, scope.scope, scope.path, scope.linkRoot, rows);
    if (context.json) {
        PrintJson(context.out, scope.path, figures, rows);
    } else {
        PrintText(context.out, scope.path, figures, rows);
    }
    context.out.flush();
    for (const QString& file : figures.skipped) {
        context.err << "skipped, not a catalog: " << file << '\n';
    }
    return kExitOk;
}

}  // namespace melodrix::cli
