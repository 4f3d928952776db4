#include <QFileInfo>
#include <pugixml.hpp>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/engine/FileInfo.h"
#include "core/scan/UpdateCatalog.h"

namespace melodrix::cli {

namespace {

const char* const kUpdateUsage =
    "Usage: melodrix-cli [--library DIR] update CATALOG [--folder DIR] [--dry-run]\n"
    "                    [--keep-unreadable] [--json]\n"
    "Rescans the folder a catalog was made from (or DIR, for a disk mounted elsewhere) the\n"
    "way it was made, keeps every description and every name typed in place of a scanned\n"
    "one, prints what was added, removed and changed, and saves the catalog unless\n"
    "--dry-run is given. A missing folder, or an empty one while the catalog is not, is\n"
    "refused and the catalog stays as it is. Folders that cannot be listed and files that\n"
    "cannot be read are named and keep their items as the catalog has them; the catalog is\n"
    "then not saved (exit status 1) unless --keep-unreadable is given. Archives are looked\n"
    "into and names skipped as the catalog says; an archive that cannot be read is named on\n"
    "stderr and becomes a plain file. The disk's size and free space are measured again.\n";

QString KindName(TChangeKind kind) {
    switch (kind) {
        case TChangeKind::Added:
            return QStringLiteral("added");
        case TChangeKind::Removed:
            return QStringLiteral("removed");
        case TChangeKind::Changed:
            break;
    }
    return QStringLiteral("changed");
}

// The text on one line: line breaks, tabs and the other control characters written as
// escapes ("\\n", "\\t", "\\x1b"), so that a typed description cannot break a row.
QString OneLine(const QString& text) {
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code >= 0x20 && code != 0x7F) {
            line += c;
        } else if (code == '\n') {
            line += QStringLiteral("\\n");
        } else if (code == '\r') {
            line += QStringLiteral("\\r");
        } else if (code == '\t') {
            line += QStringLiteral("\\t");
        } else {
            line += QStringLiteral("\\x%1").arg(static_cast<int>(code), 2, 16, QLatin1Char('0'));
        }
    }
    return line;
}

QString OneLine(std::string_view utf8) {
    return OneLine(TextOf(utf8));
}

// "1 folder", "2 folders".
QString Count(size_t count, const char* noun) {
    return QStringLiteral("%1 %2%3").arg(QString::number(count), QLatin1String(noun),
                                         count == 1 ? QString() : QStringLiteral("s"));
}

QString UnreadableJson(const TScanProblem& problem, bool folder) {
    return QStringLiteral("{\"change\":\"unreadable\",\"FullPath\":") +
           JsonString(problem.FullPath) + QStringLiteral(",\"FileType\":") +
           JsonString(folder ? QStringLiteral("directory") : QStringLiteral("file")) +
           QStringLiteral(",\"path\":") + JsonString(problem.Path) + QStringLiteral(",\"error\":") +
           JsonString(problem.Error) + QLatin1Char('}');
}

QString ChangeJson(const TCatalogChange& change) {
    QString json =
        QStringLiteral("{\"change\":") + JsonString(KindName(change.Kind)) +
        QStringLiteral(",\"FullPath\":") + JsonString(change.FullPath) +
        QStringLiteral(",\"FileType\":") +
        JsonString(change.IsDirectory ? QStringLiteral("directory") : QStringLiteral("file"));
    if (!change.Description.empty()) {
        json += QStringLiteral(",\"Description\":") + JsonString(change.Description) +
                QStringLiteral(",\"dropped\":true");
    }
    if (!change.Fields.empty()) {
        QString was;
        for (const TFieldChange& field : change.Fields) {
            const QString name = JsonString(FieldNames[static_cast<size_t>(field.Field)]);
            json += QLatin1Char(',') + name + QLatin1Char(':') + JsonString(field.After);
            was += (was.isEmpty() ? QString() : QStringLiteral(",")) + name + QLatin1Char(':') +
                   JsonString(field.Before);
        }
        json += QStringLiteral(",\"was\":{") + was + QLatin1Char('}');
    }
    return json + QLatin1Char('}');
}

QString FieldsText(const TCatalogChange& change) {
    QStringList parts;
    for (const TFieldChange& field : change.Fields) {
        parts << QStringLiteral("%1: %2 -> %3")
                     .arg(TextOf(FieldNames[static_cast<size_t>(field.Field)]),
                          OneLine(field.Before), OneLine(field.After));
    }
    return parts.join(QStringLiteral("; "));
}

void PrintText(TCliContext& context, const TCatalogUpdate& update) {
    const auto dropped = update.DroppedDescriptions();
    context.out << "Folder: " << OneLine(update.Folder) << '\n'
                << "Added: " << update.Added.size() << "  Removed: " << update.Removed.size()
                << "  Changed: " << update.Changed.size()
                << "  Descriptions that will be dropped: " << dropped.size() << '\n';
    if (update.HasUnreadable()) {
        context.out << "Could not be read, kept as the catalog has them: "
                    << Count(update.UnlistedFolders.size(), "folder") << ", "
                    << Count(update.UnreadFiles.size(), "file") << '\n';
        for (const TScanProblem& folder : update.UnlistedFolders) {
            context.out << "  folder " << OneLine(folder.Path) << ": " << folder.Error << '\n';
        }
        for (const TScanProblem& file : update.UnreadFiles) {
            context.out << "  file " << OneLine(file.Path) << ": " << file.Error << '\n';
        }
    }
    std::vector<QStringList> rows;
    for (const std::vector<TCatalogChange>* list :
         {&update.Added, &update.Removed, &update.Changed}) {
        for (const TCatalogChange& change : *list) {
            rows.push_back({KindName(change.Kind), OneLine(change.FullPath), FieldsText(change)});
        }
    }
    PrintTable(context.out, rows);
    if (!dropped.empty()) {
        context.out << "Descriptions that will be dropped:\n";
        for (const TCatalogChange* change : dropped) {
            context.out << "  " << OneLine(change->FullPath) << ": " << OneLine(change->Description)
                        << '\n';
        }
    }
}

}  // namespace

int RunUpdateCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {{QStringLiteral("folder"), true},
                                                          {QStringLiteral("dry-run")},
                                                          {QStringLiteral("keep-unreadable")}});
    if (parsed.help) {
        context.out << kUpdateUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        throw TUsageError(QStringLiteral("update needs exactly one catalog"));
    }
    QString folder;
    if (parsed.Has(QStringLiteral("folder"))) {
        folder = parsed.Value(QStringLiteral("folder"));
        if (folder.isEmpty()) {
            throw TUsageError(QStringLiteral("option --folder needs a directory"));
        }
        folder = QFileInfo(folder).absoluteFilePath();
    }
    const QString path = ResolveCatalogFile(context, parsed.positional.first());
    pugi::xml_document document;
    TFileInfo engine(context.progress, context.prompt);
    engine.Document = &document;
    TCatalogTree tree;
    engine.OpenCatalogTree(path, tree);

    TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, path, folder);
    // Items that could not be read stay as the catalog has them; a catalog that no longer
    // tells what is on the disk is saved only when the user says so.
    const bool refused = update.HasUnreadable() && !parsed.Has(QStringLiteral("keep-unreadable"));
    const bool dryRun = parsed.Has(QStringLiteral("dry-run"));
    const bool apply = !dryRun && !refused;
    if (apply) {
        ApplyCatalogUpdate(engine.Progress(), update, path,
                           parsed.Has(QStringLiteral("keep-unreadable")));
    }
    if (context.json) {
        for (const std::vector<TCatalogChange>* list :
             {&update.Added, &update.Removed, &update.Changed}) {
            for (const TCatalogChange& change : *list) {
                context.out << ChangeJson(change) << '\n';
            }
        }
        for (const TScanProblem& folder : update.UnlistedFolders) {
            context.out << UnreadableJson(folder, true) << '\n';
        }
        for (const TScanProblem& file : update.UnreadFiles) {
            context.out << UnreadableJson(file, false) << '\n';
        }
    } else {
        PrintText(context, update);
        context.out << (apply ? QStringLiteral("Saved ") + path
                              : QStringLiteral("%1: %2 is unchanged")
                                    .arg(dryRun ? QStringLiteral("Dry run")
                                                : QStringLiteral("Not saved"),
                                         path))
                    << '\n';
    }
    // Archives that could not be looked into are plain files now: the user hears why.
    if (!update.PlainArchives.empty()) {
        context.out.flush();
        TScanOutcome archives;
        archives.PlainArchives = update.PlainArchives;
        for (const QString& line : ScanProblemLines(archives)) {
            context.err << "melodrix-cli: " << line << '\n';
        }
        context.err.flush();
    }
    if (refused) {
        context.out.flush();
        context.err << "melodrix-cli: " << Count(update.UnlistedFolders.size(), "folder") << " and "
                    << Count(update.UnreadFiles.size(), "file")
                    << " could not be read; the catalog is saved only with --keep-unreadable, "
                       "which keeps their items as they are\n";
        context.err.flush();
        return kExitError;
    }
    return kExitOk;
}

}  // namespace melodrix::cli
