#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <optional>
#include <pugixml.hpp>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/SpooledTable.h"
#include "core/base/Errors.h"
#include "core/engine/FileInfo.h"
#include "core/index/SearchIndex.h"
#include "core/search/Search.h"
#include "core/search/SearchConditions.h"
#include "core/search/SearchMatcher.h"

namespace melodrix::cli {

namespace {

const char* const kSearchUsage =
    "Usage: melodrix-cli [--library DIR] search [--scope PATH] [--name TEXT] [--ext TEXT]\n"
    "                    [--description TEXT] [--case-sensitive] [--whole-words] [--json]\n"
    "                    [--title T] [--artist T] [--album T] [--year T] [--genre T]\n"
    "                    [--comment T] [--path T] [--disk T] [--album-artist T]\n"
    "                    [--mode contains|whole|glob|regex]\n"
    "                    [--min-size N] [--max-size N] [--year-range A-B] [--track A-B]\n"
    "                    [--min-duration D] [--max-duration D] [--min-bitrate K]\n"
    "                    [--max-bitrate K] [--codec NAME]\n"
    "                    [--after DATE] [--before DATE] [--files-only | --folders-only]\n"
    "                    [--no-index]\n"
    "Finds the items whose name, extension (without the dot), description and other fields\n"
    "match the given texts, in every catalog of the library or of the group or catalog PATH.\n"
    "All conditions must hold. --mode says how texts match: contains (default), whole (the\n"
    "whole stored value; --whole-words is the same), glob (* and ? over the whole value) or\n"
    "regex (RE2 syntax, matching anywhere). Sizes are bytes with an optional K, M or G\n"
    "(1024s); --year-range reads MP3_Year as a number (1990-1999, 2000-, -1980);\n"
    "--track reads the track number (3 of 3/12) likewise (5, 1-3, 10-); durations are\n"
    "seconds, m:ss or h:mm:ss (a folder's is the sum of its files'); bitrates are kbit/s;\n"
    "--codec is MP3, FLAC, Vorbis, Opus, AAC or ALAC (case ignored); --after\n"
    "and --before take ISO 8601 dates (2024-01-31 or 2024-01-31T12:00, local time unless\n"
    "followed by Z or an offset such as +02:00): modified on or after, and before. Items\n"
    "without the field never match a range. PATH is a group or catalog of the library, or a\n"
    "folder outside it; files in the scope that are not catalogs, and links that lead out of\n"
    "the library, are skipped and listed on stderr. The search index (see `index`) answers\n"
    "from its copies of the catalogs, checked against each file first and made again for a\n"
    "catalog that changed, with the same hits; --no-index reads every catalog file.\n";

// The text options, each on one catalog field.
const std::vector<std::pair<const char*, int>>& TextOptions() {
    static const std::vector<std::pair<const char*, int>> options{
        {"title", MP3_Title}, {"artist", MP3_Artist}, {"album", MP3_Album},
        {"year", MP3_Year},   {"genre", MP3_Genre},   {"comment", MP3_Comment},
        {"path", FullPath},   {"disk", DiskName},     {"album-artist", MP3_AlbumArtist},
    };
    return options;
}

std::optional<TTextMode> ModeOfName(const QString& name) {
    if (name == QLatin1String("contains"))
        return TTextMode::Contains;
    if (name == QLatin1String("whole"))
        return TTextMode::Whole;
    if (name == QLatin1String("glob"))
        return TTextMode::Wildcard;
    if (name == QLatin1String("regex"))
        return TTextMode::Regex;
    return std::nullopt;
}

uint64_t SizeOption(const TParsedArguments& parsed, const QString& name) {
    const std::optional<uint64_t> size = ParseSizeText(parsed.Value(name));
    if (!size) {
        throw TUsageError(QStringLiteral("--%1 needs a size such as 700K or 10M, not \"%2\"")
                              .arg(name, parsed.Value(name)));
    }
    return *size;
}

int64_t DurationOption(const TParsedArguments& parsed, const QString& name) {
    const std::optional<int64_t> duration = ParseDurationText(parsed.Value(name));
    if (!duration) {
        throw TUsageError(QStringLiteral("--%1 needs seconds, m:ss or h:mm:ss, not \"%2\"")
                              .arg(name, parsed.Value(name)));
    }
    return *duration;
}

int64_t BitrateOption(const TParsedArguments& parsed, const QString& name) {
    bool ok = false;
    const uint bitrate = parsed.Value(name).trimmed().toUInt(&ok);
    if (!ok) {
        throw TUsageError(QStringLiteral("--%1 needs kbit/s such as 192, not \"%2\"")
                              .arg(name, parsed.Value(name)));
    }
    return bitrate;
}

// Wall-clock milliseconds of an ISO 8601 date, or date and time (minutes, seconds, fractions)
// with an optional time-zone offset or "Z"; the stored times are local, so a time with an offset
// is taken to the local time zone first. Anything else is refused whole, not read in part.
int64_t TimeOption(const TParsedArguments& parsed, const QString& name) {
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})"
        "(?:T(\\d{2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d{1,9}))?)?(Z|[+-]\\d{2}(?::?\\d{2})?)?)?$"));
    const QString text = parsed.Value(name).trimmed();
    const QRegularExpressionMatch match = form.match(text);
    const auto number = [&](int group) { return match.captured(group).toInt(); };
    const QDate date = match.hasMatch() ? QDate(number(1), number(2), number(3)) : QDate();
    // Milliseconds from the first three digits of the fraction.
    const int msecs = match.captured(7).leftJustified(3, QLatin1Char('0')).left(3).toInt();
    const QTime time =
        match.capturedLength(4) > 0 ? QTime(number(4), number(5), number(6), msecs) : QTime(0, 0);
    const QString zone = match.captured(8);
    const int zoneHours = zone.mid(1, 2).toInt();
    const int zoneMinutes = zone.size() > 3 ? zone.right(2).toInt() : 0;
    if (!date.isValid() || !time.isValid() || zoneHours > 14 || zoneMinutes > 59) {
        throw TUsageError(
            QStringLiteral("--%1 needs an ISO 8601 date such as 2024-01-31 or "
                           "2024-01-31T12:00, optionally with Z or an offset such as +02:00, "
                           "not \"%2\"")
                .arg(name, text));
    }
    QDateTime moment(date, time);
    if (!zone.isEmpty()) {
        const int offset = (zoneHours * 60 + zoneMinutes) * 60;
        moment =
            QDateTime(date, time, QTimeZone(zone.startsWith(QLatin1Char('-')) ? -offset : offset))
                .toLocalTime();
    }
    return MsecsOfDayStart(moment.date()) + moment.time().msecsSinceStartOfDay();
}

TSearchOptions OptionsOf(const TParsedArguments& parsed) {
    TSearchOptions options;
    options.caseSensitive = parsed.Has(QStringLiteral("case-sensitive"));
    if (parsed.Has(QStringLiteral("whole-words"))) {
        options.mode = TTextMode::Whole;
    }
    if (parsed.Has(QStringLiteral("mode"))) {
        const std::optional<TTextMode> mode = ModeOfName(parsed.Value(QStringLiteral("mode")));
        if (!mode) {
            throw TUsageError(QStringLiteral("--mode is contains, whole, glob or regex"));
        }
        options.mode = *mode;
    }
    for (const auto& [name, field] : TextOptions()) {
        const QString value = parsed.Value(QString::fromLatin1(name));
        if (!value.isEmpty()) {
            options.texts.push_back({field, value.toUtf8().toStdString()});
        }
    }
    if (parsed.Has(QStringLiteral("min-size"))) {
        options.size.low = SizeOption(parsed, QStringLiteral("min-size"));
    }
    if (parsed.Has(QStringLiteral("max-size"))) {
        options.size.high = SizeOption(parsed, QStringLiteral("max-size"));
    }
    if (parsed.Has(QStringLiteral("year-range"))) {
        const auto years = ParseYearRange(parsed.Value(QStringLiteral("year-range")));
        if (!years) {
            throw TUsageError(QStringLiteral("--year-range needs years such as 1990-1999"));
        }
        options.year = *years;
    }
    if (parsed.Has(QStringLiteral("track"))) {
        const auto tracks = ParseYearRange(parsed.Value(QStringLiteral("track")));
        if (!tracks) {
            throw TUsageError(QStringLiteral("--track needs a number or a range such as 1-3"));
        }
        options.track = *tracks;
    }
    if (parsed.Has(QStringLiteral("min-duration"))) {
        options.durationMs.low = DurationOption(parsed, QStringLiteral("min-duration"));
    }
    if (parsed.Has(QStringLiteral("max-duration"))) {
        options.durationMs.high = DurationOption(parsed, QStringLiteral("max-duration"));
    }
    if (parsed.Has(QStringLiteral("min-bitrate"))) {
        options.bitrate.low = BitrateOption(parsed, QStringLiteral("min-bitrate"));
    }
    if (parsed.Has(QStringLiteral("max-bitrate"))) {
        options.bitrate.high = BitrateOption(parsed, QStringLiteral("max-bitrate"));
    }
    if (parsed.Has(QStringLiteral("codec"))) {
        options.codec = parsed.Value(QStringLiteral("codec")).trimmed().toUtf8().toStdString();
        if (options.codec.empty()) {
            throw TUsageError(QStringLiteral("--codec needs a name such as MP3 or FLAC"));
        }
    }
    if (parsed.Has(QStringLiteral("after"))) {
        options.time.low = TimeOption(parsed, QStringLiteral("after"));
    }
    if (parsed.Has(QStringLiteral("before"))) {
        options.time.high = TimeOption(parsed, QStringLiteral("before")) - 1;
    }
    const bool files = parsed.Has(QStringLiteral("files-only"));
    const bool folders = parsed.Has(QStringLiteral("folders-only"));
    if (files && folders) {
        throw TUsageError(QStringLiteral("--files-only and --folders-only exclude each other"));
    }
    options.kind = files ? TItemKind::Files : folders ? TItemKind::Folders : TItemKind::Both;
    return options;
}

bool HasCondition(const TSearchOptions& options) {
    bool text = false;
    for (const TTextCondition& condition : options.texts) {
        text = text || !QString::fromUtf8(condition.text).trimmed().isEmpty();
    }
    return text || options.size.IsSet() || options.year.IsSet() || options.time.IsSet() ||
           options.track.IsSet() || options.durationMs.IsSet() || options.bitrate.IsSet() ||
           !options.codec.empty() || options.kind != TItemKind::Both;
}

}  // namespace

int RunSearchCommand(TCliContext& context, const QStringList& args) {
    std::vector<TOptionSpec> specs{{QStringLiteral("scope"), true},
                                   {QStringLiteral("name"), true},
                                   {QStringLiteral("ext"), true},
                                   {QStringLiteral("description"), true},
                                   {QStringLiteral("case-sensitive")},
                                   {QStringLiteral("whole-words")},
                                   {QStringLiteral("mode"), true},
                                   {QStringLiteral("min-size"), true},
                                   {QStringLiteral("max-size"), true},
                                   {QStringLiteral("year-range"), true},
                                   {QStringLiteral("after"), true},
                                   {QStringLiteral("before"), true},
                                   {QStringLiteral("files-only")},
                                   {QStringLiteral("folders-only")},
                                   {QStringLiteral("track"), true},
                                   {QStringLiteral("min-duration"), true},
                                   {QStringLiteral("max-duration"), true},
                                   {QStringLiteral("min-bitrate"), true},
                                   {QStringLiteral("max-bitrate"), true},
                                   {QStringLiteral("codec"), true},
                                   {QStringLiteral("no-index")}};
    for (const auto& [name, field] : TextOptions()) {
        specs.push_back({QString::fromLatin1(name), true});
    }
    const TParsedArguments parsed = ParseArguments(args, specs);
    if (parsed.help) {
        context.out << kSearchUsage;
        return kExitOk;
    }
    if (!parsed.positional.isEmpty()) {
        throw TUsageError(QStringLiteral("search takes its texts as options, such as --name"));
    }
    const QString name = parsed.Value(QStringLiteral("name"));
    const QString ext = parsed.Value(QStringLiteral("ext"));
    const QString description = parsed.Value(QStringLiteral("description"));
    TSearchOptions options = OptionsOf(parsed);
    if (name.trimmed().isEmpty() && ext.trimmed().isEmpty() && description.trimmed().isEmpty() &&
        !HasCondition(options)) {
        throw TUsageError(QStringLiteral("Please input search condition."));
    }
    TFileItem conditions;
    conditions.SetField(FileName, name.toUtf8().toStdString());
    conditions.SetField(FileExt, ext.toUtf8().toStdString());
    conditions.SetField(Description, description.toUtf8().toStdString());
    try {
        // A condition the search cannot use, such as a malformed regular expression, is a
        // mistake on the command line: refused before the scope is even looked at.
        const TSearchMatcher check(conditions, options);
    } catch (const TSearchConditionError& error) {
        throw TUsageError(error.Message());
    }
    const TScopeArgument scope = ResolveScope(context, parsed);
    conditions.SetField(FullPath, scope.path.toUtf8().toStdString());
    options.linkRoot = scope.linkRoot;

    // The hits go out as each catalog is searched: a search of millions of hits holds one
    // catalog's at a time (a table, whose columns need every row, keeps its rows in a file).
    TSearchLeftover leftover;
    std::optional<TSpooledTable> table;
    if (!context.json) {
        table.emplace();
        table->Add(
            {QStringLiteral("DiskName"), QStringLiteral("FileSize"), QStringLiteral("FullPath")});
    }
    std::optional<TSearchIndex> index;
    if (!parsed.Has(QStringLiteral("no-index"))) {
        index.emplace();
    }
    const QStringList skipped = SearchCatalogsInto(
        context.progress, scope.scope, conditions, options, leftover,
        [&](const QString&, std::vector<TFileItem>& hits) {
            for (const TFileItem& item : hits) {
                if (table) {
                    table->Add({TextOf(item.Field(DiskName)), TextOf(item.Field(FileSize)),
                                TextOf(item.Field(FullPath))});
                } else {
                    context.out << ItemJson(item) << '\n';
                }
            }
        },
        index ? &*index : nullptr);
    if (table) {
        table->Print(context.out);
    }
    context.out.flush();
    for (const QString& file : skipped) {
        context.err << "skipped, not a catalog: " << file << '\n';
    }
    return kExitOk;
}

}  // namespace melodrix::cli
