#include <QFileInfo>
#include <pugixml.hpp>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/catalog/Errors.h"
#include "core/catalog/FileInfo.h"
#include "core/scan/UpdateCatalog.h"

namespace melodrix::cli {

namespace {

const char* const kUpdateUsage =
    "Usage: melodrix-cli [--library DIR] update CATALOG [--folder DIR] [--dry-run] [--json]\n"
    "Rescans the folder a catalog was made from (or DIR, for a disk mounted elsewhere) the\n"
    "way it was made, keeps every description and every name typed in place of a scanned\n"
    "one, prints what was added, removed and changed, and saves the catalog unless\n"
    "--dry-run is given. A missing folder, or an empty one while the catalog is not, is\n"
    "refused and the catalog stays as it is.\n";

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
                          TextOf(field.Before), TextOf(field.After));
    }
    return parts.join(QStringLiteral("; "));
}

void PrintText(TCliContext& context, const TCatalogUpdate& update) {
    const auto dropped = update.DroppedDescriptions();
    context.out << "Folder: " << update.Folder << '\n'
                << "Added: " << update.Added.size() << "  Removed: " << update.Removed.size()
                << "  Changed: " << update.Changed.size()
                << "  Descriptions that will be dropped: " << dropped.size() << '\n';
    std::vector<QStringList> rows;
    for (const std::vector<TCatalogChange>* list :
         {&update.Added, &update.Removed, &update.Changed}) {
        for (const TCatalogChange& change : *list) {
            rows.push_back({KindName(change.Kind), TextOf(change.FullPath), FieldsText(change)});
        }
    }
    PrintTable(context.out, rows);
    if (!dropped.empty()) {
        context.out << "Descriptions that will be dropped:\n";
        for (const TCatalogChange* change : dropped) {
            context.out << "  " << TextOf(change->FullPath) << ": " << TextOf(change->Description)
                        << '\n';
        }
    }
}

}  // namespace

int RunUpdateCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed =
        ParseArguments(args, {{QStringLiteral("folder"), true}, {QStringLiteral("dry-run")}});
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

    TCatalogUpdate update = UpdateCatalog(engine, tree, path, folder);
    const bool apply = !parsed.Has(QStringLiteral("dry-run"));
    if (apply) {
        ApplyCatalogUpdate(engine, update, path);
    }
    if (context.json) {
        for (const std::vector<TCatalogChange>* list :
             {&update.Added, &update.Removed, &update.Changed}) {
            for (const TCatalogChange& change : *list) {
                context.out << ChangeJson(change) << '\n';
            }
        }
        return kExitOk;
    }
    PrintText(context, update);
    context.out << (apply ? QStringLiteral("Saved ") + path
                          : QStringLiteral("Dry run: %1 is unchanged").arg(path))
                << '\n';
    return kExitOk;
}

}  // namespace melodrix::cli
