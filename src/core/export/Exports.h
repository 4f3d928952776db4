#pragma once

#include <QString>

#include "core/catalog/CatalogTree.h"
#include "core/export/ExportContext.h"

namespace melodrix {

// Each export asks for the file to write (offering `defaultName`) and returns true when a file
// was written; false when the user declined or was warned.

// HTML page, text table and CSV file of the tree given, or of the context's document when
// `tree` is null.
bool ExportHtml(const TExportContext& context, const QString& defaultName,
                const TCatalogTree* tree);
bool ExportText(const TExportContext& context, const QString& defaultName, const QString& separator,
                const TCatalogTree* tree);
bool ExportCsv(const TExportContext& context, const QString& defaultName, const QString& separator,
               const TCatalogTree* tree);
// The same three of the catalog file at catalogPath, written as the file is read: no document,
// no tree. A file that only the XML parser reads is opened into a tree first.
bool ExportCatalogHtml(const TExportContext& context, const QString& catalogPath,
                       const QString& defaultName);
bool ExportCatalogText(const TExportContext& context, const QString& catalogPath,
                       const QString& defaultName, const QString& separator);
bool ExportCatalogCsv(const TExportContext& context, const QString& catalogPath,
                      const QString& defaultName, const QString& separator);

// The XML export writes the document as a catalog file; the workbook export shows the
// document's items with their stored attribute texts.
bool ExportXml(const TExportContext& context, const QString& defaultName);
bool ExportExcel(const TExportContext& context, const QString& defaultName);
// The same two of a tree, with the bytes and cells they give of the tree's document.
bool ExportXml(const TExportContext& context, const QString& defaultName, const TCatalogTree& tree);
bool ExportExcel(const TExportContext& context, const QString& defaultName,
                 const TCatalogTree& tree);
// The same two of the catalog file at catalogPath, written as the file is read. The workbook
// reads the file twice, as its columns are as wide as their longest text, the first time
// before asking for the export file, so that a broken catalog is reported first. A file that
// only the XML parser reads is parsed into a document of the export's.
bool ExportCatalogXml(const TExportContext& context, const QString& catalogPath,
                      const QString& defaultName);
bool ExportCatalogExcel(const TExportContext& context, const QString& catalogPath,
                        const QString& defaultName);

}  // namespace melodrix
