#include <QDir>
#include <QFileInfo>
#include <pugixml.hpp>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/catalog/NamePatterns.h"
#include "core/catalog/Paths.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/engine/FileInfo.h"
#include "core/library/Library.h"
#include "core/library/LibraryOperations.h"
#include "core/scan/MusicMasks.h"
#include "core/scan/ScanOptions.h"

namespace melodrix::cli {

namespace {

const char* const kScanUsage =
    "Usage: melodrix-cli [--library DIR] scan FOLDER [--name NAME] [--group GROUP]\n"
    "                    [--music mp3|all] [--only-folders] [--archives]\n"
    "                    [--exclude PATTERN]... [--no-default-excludes] [--force]\n"
    "Catalogs the MP3 files (--music all: also FLAC, Ogg Vorbis, Opus and MP4 audio:\n"
    ".flac .ogg .oga .opus .m4a .mp4 .m4b) below FOLDER into LIBRARY[/GROUP]/NAME.xml and\n"
    "prints the catalog's path (with --json, one object: catalog, items, complete and what\n"
    "could not be read). NAME defaults to the folder's disk name. An existing catalog is only\n"
    "replaced with --force. Folders that cannot be listed and files that cannot be read are\n"
    "named on stderr; the catalog holds what could be read.\n"
    "--archives lists the entries of archives and disc images (.zip .7z .tar .tar.gz .tgz\n"
    ".tar.bz2 .tbz2 .tar.xz .txz .tar.zst .tzst .iso) below them, with the tags of their music\n"
    "files; one that cannot be read (damaged, encrypted, over 100000 entries or 2 GB unpacked)\n"
    "stays a plain file and is named on stderr. Folders and files whose name matches a\n"
    "pattern are skipped (* any characters, ? one, letters of either case): by default\n"
    "$RECYCLE.BIN, System Volume Information, .Trash-*, lost+found, @eaDir, .DS_Store and\n"
    "Thumbs.db; --exclude adds one (repeatable), --no-default-excludes drops the defaults.\n"
    "The catalog keeps these choices for update. A scan of a volume's root records the disk's\n"
    "size, free space, file system and label.\n";

QString ProblemsJson(const std::vector<TScanProblem>& problems) {
    QStringList items;
    for (const TScanProblem& problem : problems) {
        items << QStringLiteral("{\"path\":%1,\"error\":%2}")
                     .arg(JsonString(problem.Path), JsonString(problem.Error));
    }
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

// The catalog written, its number of items and what could not be read, as one object.
QString ScanJson(const QString& catalog, const TCatalogTree& tree, const TScanOutcome& outcome) {
    return QStringLiteral(
               "{\"catalog\":%1,\"items\":%2,\"complete\":%3,"
               "\"unlistedFolders\":%4,\"unreadFiles\":%5,\"plainArchives\":%6}")
        .arg(JsonString(catalog), QString::number(tree.NodeCount()),
             outcome.Complete() ? QStringLiteral("true") : QStringLiteral("false"),
             ProblemsJson(outcome.UnlistedFolders), ProblemsJson(outcome.UnreadFiles),
             ProblemsJson(outcome.PlainArchives));
}

void CheckName(const QString& what, const QString& name) {
    const QString refusal = ValidateEntryName(name);
    if (!refusal.isEmpty()) {
        throw TUsageError(QStringLiteral("%1 \"%2\": %3").arg(what, name, refusal));
    }
}

// The patterns the scan skips; nothing when they are the default ones.
std::optional<QStringList> ExcludesOf(const TParsedArguments& parsed) {
    const QStringList added = parsed.Values(QStringLiteral("exclude"));
    for (const QString& pattern : added) {
        if (const QString refusal = ExcludePatternRefusal(pattern); !refusal.isEmpty()) {
            throw TUsageError(refusal);
        }
    }
    const bool defaults = !parsed.Has(QStringLiteral("no-default-excludes"));
    if (defaults && added.isEmpty()) {
        return std::nullopt;
    }
    QStringList patterns = defaults ? DefaultExcludePatterns() : QStringList();
    for (const QString& pattern : added) {
        if (!patterns.contains(pattern)) {
            patterns << pattern;
        }
    }
    return patterns;
}

}  // namespace

int RunScanCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {{QStringLiteral("name"), true},
                                                          {QStringLiteral("group"), true},
                                                          {QStringLiteral("music"), true},
                                                          {QStringLiteral("only-folders")},
                                                          {QStringLiteral("archives")},
                                                          {QStringLiteral("exclude"), true},
                                                          {QStringLiteral("no-default-excludes")},
                                                          {QStringLiteral("force")}});
    if (parsed.help) {
        context.out << kScanUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        throw TUsageError(QStringLiteral("scan needs exactly one folder"));
    }
    const QString folder = QFileInfo(parsed.positional.first()).absoluteFilePath();
    if (!QFileInfo(folder).isDir()) {
        throw TMelodrixError(QStringLiteral("no folder %1").arg(parsed.positional.first()));
    }
    const QString music = parsed.Has(QStringLiteral("music"))
                              ? parsed.Value(QStringLiteral("music"))
                              : QStringLiteral("mp3");
    if (music != QStringLiteral("mp3") && music != QStringLiteral("all")) {
        throw TUsageError(QStringLiteral("--music takes mp3 or all, not \"%1\"").arg(music));
    }
    TScanOptions options;
    options.MaskList = MusicMaskList(music == QStringLiteral("all"));
    options.OnlyFolders = parsed.Has(QStringLiteral("only-folders"));
    options.Archives = parsed.Has(QStringLiteral("archives"));
    options.Excludes = ExcludesOf(parsed);
    const QString name = parsed.Has(QStringLiteral("name")) ? parsed.Value(QStringLiteral("name"))
                                                            : DiskNameOf(folder);
    CheckName(QStringLiteral("catalog name"), name);

    const QString library = context.LibraryPath();
    CreateDefaultLibrary(library);
    QString directory = library;
    if (parsed.Has(QStringLiteral("group"))) {
        const QString group = parsed.Value(QStringLiteral("group"));
        CheckName(QStringLiteral("group"), group);
        directory = QDir(library).filePath(group);
        if (!QFileInfo(directory).isDir()) {
            const TLibraryResult created = CreateGroupDirectory(library, directory);
            if (!created) {
                throw TMelodrixError(created.error);
            }
        }
    }
    if (!QFileInfo(library).isDir()) {
        throw TMelodrixError(QStringLiteral("cannot use the library %1").arg(library));
    }
    const QString catalog = QDir(directory).filePath(name + kCatalogExtension);
    if (QFileInfo::exists(catalog) && !parsed.Has(QStringLiteral("force"))) {
        throw TMelodrixError(
            QStringLiteral("catalog %1 exists already; use --force to replace it").arg(catalog));
    }

    pugi::xml_document document;
    TFileInfo engine(context.progress, context.prompt);
    engine.Document = &document;
    TCatalogTree& tree = context.NewCatalogTree();
    const TScanOutcome outcome = engine.ScanFolder(tree, folder, options, catalog);
    // A part of the folder is no catalog of it; an existing one is better kept.
    if (const QString refusal = WhyNoCatalog(outcome, tree, folder); !refusal.isEmpty()) {
        throw TMelodrixError(refusal);
    }
    ReplaceCatalogFile(engine.Progress(), catalog, tree);
    // What could not be read is left out of the catalog: the user hears which.
    if (!outcome.Complete()) {
        context.out.flush();
        for (const QString& line : ScanProblemLines(outcome)) {
            context.err << "melodrix-cli: " << line << '\n';
        }
        context.err.flush();
    }
    if (context.json) {
        context.out << ScanJson(catalog, tree, outcome) << '\n';
    } else {
        context.out << catalog << '\n';
    }
    return kExitOk;
}

}  // namespace melodrix::cli
