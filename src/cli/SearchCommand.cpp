#include <QFileInfo>
#include <pugixml.hpp>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/catalog/Errors.h"
#include "core/catalog/FileInfo.h"

namespace melodrix::cli {

namespace {

const char* const kSearchUsage =
    "Usage: melodrix-cli [--library DIR] search [--scope PATH] [--name TEXT] [--ext TEXT]\n"
    "                    [--description TEXT] [--case-sensitive] [--whole-words] [--json]\n"
    "Finds the items whose name, extension (without the dot) and description contain the\n"
    "given texts, in every catalog of the library or of the group or catalog PATH.\n"
    "--whole-words asks for the whole stored value. Files in the scope that are not\n"
    "catalogs are skipped and listed on stderr.\n";

}  // namespace

int RunSearchCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {{QStringLiteral("scope"), true},
                                                          {QStringLiteral("name"), true},
                                                          {QStringLiteral("ext"), true},
                                                          {QStringLiteral("description"), true},
                                                          {QStringLiteral("case-sensitive")},
                                                          {QStringLiteral("whole-words")}});
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
    if (name.trimmed().isEmpty() && ext.trimmed().isEmpty() && description.trimmed().isEmpty()) {
        throw TUsageError(QStringLiteral("Please input search condition."));
    }
    const QString scope = parsed.Has(QStringLiteral("scope"))
                              ? ResolveInLibrary(context, parsed.Value(QStringLiteral("scope")))
                              : context.LibraryPath();
    const QFileInfo scopeInfo(scope);
    if (!scopeInfo.exists()) {
        throw TMelodrixError(QStringLiteral("no group or catalog %1").arg(scope));
    }

    TFileItem conditions;
    conditions.SetField(FullPath, scope.toUtf8().toStdString());
    conditions.SetField(FileName, name.toUtf8().toStdString());
    conditions.SetField(FileExt, ext.toUtf8().toStdString());
    conditions.SetField(Description, description.toUtf8().toStdString());

    pugi::xml_document document;
    TFileInfo engine(context.progress, context.prompt);
    engine.Document = &document;
    TCatalogTree hits;
    const QStringList skipped = engine.Search(
        scopeInfo.isDir() ? TSearchScope::Group : TSearchScope::Catalog, hits, conditions,
        parsed.Has(QStringLiteral("case-sensitive")), parsed.Has(QStringLiteral("whole-words")));

    if (context.json) {
        ForEachNode(
            hits, [&](const TCatalogNode* node) { context.out << ItemJson(node->Item()) << '\n'; });
    } else {
        std::vector<QStringList> rows{
            {QStringLiteral("DiskName"), QStringLiteral("FileSize"), QStringLiteral("FullPath")}};
        ForEachNode(hits, [&](const TCatalogNode* node) {
            const TFileItem& item = node->Item();
            rows.push_back({TextOf(item.Field(DiskName)), TextOf(item.Field(FileSize)),
                            TextOf(item.Field(FullPath))});
        });
        PrintTable(context.out, rows);
    }
    context.out.flush();
    for (const QString& file : skipped) {
        context.err << "skipped, not a catalog: " << file << '\n';
    }
    return kExitOk;
}

}  // namespace melodrix::cli
