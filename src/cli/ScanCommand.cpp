#include <QDir>
#include <QFileInfo>
#include <pugixml.hpp>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/catalog/Errors.h"
#include "core/catalog/FileInfo.h"
#include "core/catalog/Paths.h"
#include "core/library/Library.h"
#include "core/library/LibraryOperations.h"

namespace melodrix::cli {

namespace {

const char* const kScanUsage =
    "Usage: melodrix-cli [--library DIR] scan FOLDER [--name NAME] [--group GROUP]\n"
    "                    [--only-folders] [--force]\n"
    "Catalogs the MP3 files below FOLDER into LIBRARY[/GROUP]/NAME.xml and prints the\n"
    "catalog's path. NAME defaults to the folder's disk name. An existing catalog is only\n"
    "replaced with --force.\n";

void CheckName(const QString& what, const QString& name) {
    const QString refusal = ValidateEntryName(name);
    if (!refusal.isEmpty()) {
        throw TUsageError(QStringLiteral("%1 \"%2\": %3").arg(what, name, refusal));
    }
}

}  // namespace

int RunScanCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {{QStringLiteral("name"), true},
                                                          {QStringLiteral("group"), true},
                                                          {QStringLiteral("only-folders")},
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
    TCatalogTree tree;
    engine.ScanFolder(tree, folder, QStringLiteral("\\.MP3\\"),
                      parsed.Has(QStringLiteral("only-folders")), catalog);
    engine.SaveCatalogTree(tree, catalog);
    context.out << catalog << '\n';
    return kExitOk;
}

}  // namespace melodrix::cli
