// melodrix-cli describe: sets the description of one item and saves the catalog, as an edit
// in the desktop program does.
#include <QFileInfo>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/catalog/ItemEdit.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/engine/FileInfo.h"

namespace melodrix::cli {

namespace {

const char* const kDescribeUsage =
    "Usage: melodrix-cli [--library DIR] describe CATALOG ITEM TEXT\n"
    "Sets the description of the item whose full path is ITEM to TEXT and saves the catalog\n"
    "(the old file is replaced only once the new one is complete). An empty TEXT clears the\n"
    "description. Exit status 1 when no item of the catalog has that path.\n";

}  // namespace

int RunDescribeCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {});
    if (parsed.help) {
        context.out << kDescribeUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 3) {
        throw TUsageError(QStringLiteral("describe needs a catalog, an item path and a text"));
    }
    const QString path = ResolveCatalogFile(context, parsed.positional[0]);
    const QByteArray itemPath = parsed.positional[1].toUtf8();
    const std::string_view wanted(itemPath.constData(), static_cast<size_t>(itemPath.size()));
    const QByteArray text = parsed.positional[2].toUtf8();
    TFileInfo engine(context.progress, context.prompt);
    // Read, changed and written under the catalog's lock, so that no other writer's edit
    // made in the meantime is lost.
    ChangeCatalogFile(engine.Progress(), path, [&](TCatalogTree& tree, bool) {
        TCatalogNode* node = tree.GetFirst();
        while (node && node->Item().Field(FullPath) != wanted) {
            node = tree.GetNext(node);
        }
        if (!node) {
            throw TMelodrixError(
                QStringLiteral("no item of %1 has the path %2").arg(path, parsed.positional[1]));
        }
        SetEditedField(node->Item(), Description,
                       std::string_view(text.constData(), static_cast<size_t>(text.size())));
    });
    return kExitOk;
}

}  // namespace melodrix::cli
