#include <QFileInfo>
#include <pugixml.hpp>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/engine/FileInfo.h"

namespace melodrix::cli {

namespace {

const char* const kShowUsage =
    "Usage: melodrix-cli [--library DIR] show CATALOG [--json]\n"
    "Prints every item of a catalog in tree order with all its fields. CATALOG is a\n"
    "catalog file, or its path inside the library with or without \".xml\".\n";

}  // namespace

int RunShowCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {});
    if (parsed.help) {
        context.out << kShowUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        throw TUsageError(QStringLiteral("show needs exactly one catalog"));
    }
    const QString path = ResolveCatalogFile(context, parsed.positional.first());
    TFileInfo engine(context.progress, context.prompt);
    TCatalogTree tree;
    engine.OpenCatalogTree(path, tree);

    ForEachNode(tree, [&](const TCatalogNode* node) {
        const TFileItem& item = node->Item();
        if (context.json) {
            context.out << ItemJson(item) << '\n';
            return;
        }
        const QString indent(node->Depth() * 2, QLatin1Char(' '));
        context.out << indent << TextOf(item.Field(FileName)) << '\n';
        for (int field = 0; field < FieldCount; ++field) {
            if (field != FileName && !item.Field(field).empty()) {
                context.out << indent << "    " << TextOf(FieldNames[field]) << ": "
                            << TextOf(item.Field(field)) << '\n';
            }
        }
    });
    return kExitOk;
}

}  // namespace melodrix::cli
