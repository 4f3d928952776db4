// The table exports of the catalog engine: HTML page, text table, CSV file and the
// catalog XML file.
#include <memory>

#include "core/catalog/FileInfo.h"
#include "core/export/DelimitedText.h"
#include "core/export/ExportColumns.h"
#include "core/export/ExportFile.h"
#include "core/export/ExportTexts.h"
#include "core/export/HtmlTable.h"

namespace melodrix {

namespace {

QStringList ColumnsOf(const TFileInfo& info) {
    return info.ExportColumns ? *info.ExportColumns : QStringList();
}

// The tree an export reads: the one given, or a temporary tree filled from Document.
class TExportSource {
public:
    TExportSource(TFileInfo& info, const TCatalogTree* given) : tree_(given) {
        if (!tree_) {
            owned_ = std::make_unique<TCatalogTree>();
            info.DocumentToTree(*owned_);
            tree_ = owned_.get();
            // Loading hid the progress window; the export goes on.
            info.Progress().ShowProgress(true, false);
            info.Progress().SetProgressText(kExportToFile);
        }
    }
    const TCatalogTree& Tree() const { return *tree_; }

private:
    std::unique_ptr<TCatalogTree> owned_;
    const TCatalogTree* tree_;
};

bool ExportDelimited(TFileInfo& info, const QString& defaultName, const QString& separator,
                     const TCatalogTree* tree, TDelimitedStyle style) {
    const QStringList columns = ColumnsOf(info);
    if (columns.isEmpty()) {
        info.Prompt().ShowMessage(kWarningTitle, kNoExportColumns, TMessageIcon::Warning);
        return false;
    }
    const bool csv = style == TDelimitedStyle::Csv;
    if (csv && !IsUsableCsvSeparator(separator)) {
        info.Prompt().ShowMessage(kWarningTitle, kBadCsvSeparator, TMessageIcon::Warning);
        return false;
    }
    const QString path = AskSaveFileName(info.Prompt(), csv ? kCsvExtension : kTextExtension,
                                         csv ? kCsvFilter : kTextFilter, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(info.Progress(), kExportToFile);
    const TExportSource source(info, tree);
    const std::string separatorText = separator.toStdString();
    WriteExportText(path, [&](TTextOutput& output) {
        BuildDelimitedText(source.Tree(), columns, separatorText, style, output);
    });
    return true;
}

}  // namespace

bool TFileInfo::ExportHtml(const QString& defaultName, const TCatalogTree* tree) {
    const QString path = AskSaveFileName(Prompt(), kHtmlExtension, kHtmlFilter, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kExportToFile);
    const TExportSource source(*this, tree);
    const QStringList columns = ColumnsOf(*this);
    const std::string title = ExportTitleOf(path).toStdString();
    WriteExportText(
        path, [&](TTextOutput& output) { BuildHtmlTable(source.Tree(), columns, title, output); });
    return true;
}

bool TFileInfo::ExportText(const QString& defaultName, const QString& separator,
                           const TCatalogTree* tree) {
    return ExportDelimited(*this, defaultName, separator, tree, TDelimitedStyle::Plain);
}

bool TFileInfo::ExportCsv(const QString& defaultName, const QString& separator,
                          const TCatalogTree* tree) {
    return ExportDelimited(*this, defaultName, separator, tree, TDelimitedStyle::Csv);
}

bool TFileInfo::ExportXml(const QString& defaultName) {
    const QString path = AskSaveFileName(Prompt(), kXmlExtension, kXmlFilter, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kExportToFile);
    DocumentRoot();  // an empty document is written as an empty catalog
    return SaveCatalogFile(path);
}

}  // namespace melodrix
