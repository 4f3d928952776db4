// The table exports of the catalog engine: HTML page, text table and CSV file.
#include <functional>
#include <string_view>

#include "core/catalog/Paths.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/export/DelimitedText.h"
#include "core/export/ExportColumns.h"
#include "core/export/ExportFile.h"
#include "core/export/ExportItems.h"
#include "core/export/ExportTexts.h"
#include "core/export/Exports.h"
#include "core/export/HtmlTable.h"

namespace melodrix {

namespace {

// Runs `write` with the items of the export: those of the tree given; else those of the
// catalog file at catalogPath, read as they are written out; else those of Document. A
// catalog file that only the XML parser reads is opened into a tree first, and what was
// written from it so far is dropped with the unfinished file: `write` returns false when its
// walk was not complete.
void WithExportItems(const TExportContext& info, const TCatalogTree* tree,
                     const QString& catalogPath,
                     const std::function<bool(const TItemWalk&)>& write) {
    if (tree) {
        write(WalkTree(*tree));
        return;
    }
    TCatalogTree owned;
    if (!catalogPath.isEmpty()) {
        const QByteArray disk = DiskNameOf(catalogPath).toUtf8();
        const std::string_view diskName(disk.constData(), static_cast<size_t>(disk.size()));
        const bool written = write([&](const TEachItem& each) {
            TCatalogStream stream;
            return stream.Load(catalogPath) &&
                   StreamCatalogItems(stream, diskName,
                                      [&](const TItemTexts& texts, size_t) { each(texts); });
        });
        if (written) {
            return;
        }
        TProgressScope loading(info.Progress, kLoadingInfo);
        ReadCatalogTreeFile(catalogPath, owned);
    } else {
        TProgressScope loading(info.Progress, kLoadingInfo);
        CatalogDocumentToTree(CatalogDocumentRoot(info.OpenDocument()), info.CatalogFileName,
                              owned);
    }
    // Loading hid the progress window; the export goes on.
    info.Progress.ShowProgress(true, false);
    info.Progress.SetProgressText(kExportToFile);
    write(WalkTree(owned));
}

bool ExportDelimited(const TExportContext& info, const QString& defaultName,
                     const QString& separator, const TCatalogTree* tree, const QString& catalogPath,
                     TDelimitedStyle style) {
    const QStringList columns = info.ColumnList();
    if (columns.isEmpty()) {
        info.Prompt.ShowMessage(kWarningTitle, kNoExportColumns, TMessageIcon::Warning);
        return false;
    }
    const bool csv = style == TDelimitedStyle::Csv;
    if (csv && !IsUsableCsvSeparator(separator)) {
        info.Prompt.ShowMessage(kWarningTitle, kBadCsvSeparator, TMessageIcon::Warning);
        return false;
    }
    const QString path = AskSaveFileName(info.Prompt, csv ? kCsvExtension : kTextExtension,
                                         csv ? kCsvFilter : kTextFilter, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(info.Progress, kExportToFile);
    const std::string separatorText = separator.toStdString();
    WithExportItems(info, tree, catalogPath, [&](const TItemWalk& items) {
        return WriteExportText(path, [&](TTextOutput& output) {
            return BuildDelimitedText(items, columns, separatorText, style, output);
        });
    });
    return true;
}

bool ExportHtmlOf(const TExportContext& info, const QString& defaultName, const TCatalogTree* tree,
                  const QString& catalogPath) {
    const QString path = AskSaveFileName(info.Prompt, kHtmlExtension, kHtmlFilter, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(info.Progress, kExportToFile);
    const QStringList columns = info.ColumnList();
    const QString heading = ExportTitleOf(path);
    // The page is titled by the catalog it shows; a list of hits, which has none, by the
    // heading.
    const QString catalog = catalogPath.isEmpty() ? info.CatalogFileName : catalogPath;
    const std::string pageTitle = (catalog.isEmpty() ? heading : DiskNameOf(catalog)).toStdString();
    const std::string title = heading.toStdString();
    WithExportItems(info, tree, catalogPath, [&](const TItemWalk& items) {
        return WriteExportText(path, [&](TTextOutput& output) {
            return BuildHtmlTable(items, columns, title, pageTitle, output);
        });
    });
    return true;
}

}  // namespace

bool ExportHtml(const TExportContext& context, const QString& defaultName,
                const TCatalogTree* tree) {
    return ExportHtmlOf(context, defaultName, tree, QString());
}

bool ExportText(const TExportContext& context, const QString& defaultName, const QString& separator,
                const TCatalogTree* tree) {
    return ExportDelimited(context, defaultName, separator, tree, QString(),
                           TDelimitedStyle::Plain);
}

bool ExportCsv(const TExportContext& context, const QString& defaultName, const QString& separator,
               const TCatalogTree* tree) {
    return ExportDelimited(context, defaultName, separator, tree, QString(), TDelimitedStyle::Csv);
}

bool ExportCatalogHtml(const TExportContext& context, const QString& catalogPath,
                       const QString& defaultName) {
    return ExportHtmlOf(context, defaultName, nullptr, catalogPath);
}

bool ExportCatalogText(const TExportContext& context, const QString& catalogPath,
                       const QString& defaultName, const QString& separator) {
    return ExportDelimited(context, defaultName, separator, nullptr, catalogPath,
                           TDelimitedStyle::Plain);
}

bool ExportCatalogCsv(const TExportContext& context, const QString& catalogPath,
                      const QString& defaultName, const QString& separator) {
    return ExportDelimited(context, defaultName, separator, nullptr, catalogPath,
                           TDelimitedStyle::Csv);
}

}  // namespace melodrix
