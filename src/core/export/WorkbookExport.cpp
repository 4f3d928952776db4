// The workbook export of the catalog engine.
#include <QFileInfo>

#include "core/catalog/FileInfo.h"
#include "core/export/CatalogWorkbook.h"
#include "core/export/ExportColumns.h"
#include "core/export/ExportFile.h"
#include "core/export/ExportTexts.h"
#include "core/export/SheetCells.h"

namespace melodrix {

bool TFileInfo::ExportExcel(const QString& defaultName) {
    const pugi::xml_node root = DocumentRoot();
    if (!FitsSheetRows(CountDocumentItems(root))) {
        Prompt().ShowMessage(kWarningTitle, kRowCountOutOfRange, TMessageIcon::Exclamation);
        return false;
    }
    const QString path =
        AskSaveFileName(Prompt(), kWorkbookExtension, kWorkbookFilter, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kExportToFile);
    const QStringList columns = ExportColumns ? *ExportColumns : QStringList();
    ReplaceFileThroughTemporary(path, [&](const QString& temporaryPath) {
        WriteCatalogWorkbook(temporaryPath, root, columns, ExportTitleOf(path));
    });
    return true;
}

}  // namespace melodrix
