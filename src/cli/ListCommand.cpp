#include <QDir>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/catalog/ValueFunctions.h"
#include "core/library/Library.h"

namespace melodrix::cli {

namespace {

const char* const kListUsage =
    "Usage: melodrix-cli [--library DIR] list [--groups-only] [--json]\n"
    "Prints the groups and catalogs of the library with their times, sizes and shares.\n";

}  // namespace

int RunListCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {{QStringLiteral("groups-only")}});
    if (parsed.help) {
        context.out << kListUsage;
        return kExitOk;
    }
    if (!parsed.positional.isEmpty()) {
        throw TUsageError(QStringLiteral("list takes no arguments"));
    }
    TCatalogTree tree;
    FillLibraryTree(tree, context.LibraryPath(), parsed.Has(QStringLiteral("groups-only")));
    if (context.json) {
        ForEachNode(
            tree, [&](const TCatalogNode* node) { context.out << ItemJson(node->Item()) << '\n'; });
        return kExitOk;
    }
    std::vector<QStringList> rows{{QStringLiteral("Name"), QStringLiteral("Modified"),
                                   QStringLiteral("Size"), QStringLiteral("Share")}};
    ForEachNode(tree, [&](const TCatalogNode* node) {
        const TFileItem& item = node->Item();
        const QString indent(node->Depth() * 2, QLatin1Char(' '));
        const QString name = indent + TextOf(item.Field(FileName)) +
                             (item.IsDirectory() ? QStringLiteral("/") : QString());
        const QString size = FieldDisplayText(FileSize, &item);
        rows.push_back(
            {name, TextOf(item.Field(FileTime)), size, FieldDisplayText(SizePercentage, &item)});
    });
    PrintTable(context.out, rows);
    return kExitOk;
}

}  // namespace melodrix::cli
