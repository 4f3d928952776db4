// The workbook export of the catalog engine: of the document, of a tree, or of a catalog file
// read as the workbook is written.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/base/AtomicFile.h"
#include "core/catalog/FileItem.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/export/CatalogWorkbook.h"
#include "core/export/ExportColumns.h"
#include "core/export/ExportFile.h"
#include "core/export/ExportTexts.h"
#include "core/export/Exports.h"
#include "core/export/SheetCells.h"

namespace melodrix {

namespace {

// The cells of a streamed item: its attribute texts as stored, decoded and mended as a parsed
// document holds them, taken by column name (the first of repeated attributes counts).
class TStreamedCells {
public:
    explicit TStreamedCells(const std::vector<std::string>& names)
        : cells_(names.size()), decoded_(names.size()), mended_(names.size()) {
        for (size_t c = 0; c < names.size(); ++c) {
            const int field = FindFieldIndex(names[c]);
            if (field >= 0) {
                columnsOfField_[static_cast<size_t>(field)].push_back(c);
                continue;
            }
            auto other = std::find_if(others_.begin(), others_.end(),
                                      [&](const auto& entry) { return entry.first == names[c]; });
            if (other == others_.end()) {
                other = others_.insert(others_.end(), {names[c], {}});
            }
            other->second.push_back(c);
        }
        taken_.resize(FieldCount + others_.size());
    }

    // The cells of the stream's current item; nothing when a value, shown or not, is one
    // only the XML parser reads.
    std::optional<std::span<const std::string_view>> Of(const TCatalogStream& stream) {
        std::fill(cells_.begin(), cells_.end(), std::string_view());
        std::fill(taken_.begin(), taken_.end(), false);
        for (const TCatalogStream::TAttribute& attribute : stream.Attributes()) {
            const std::vector<size_t>* columns = nullptr;
            size_t name = 0;  // fields first, then the other names
            if (const int field = matcher_.IndexOf(attribute.name); field >= 0) {
                name = static_cast<size_t>(field);
                columns = &columnsOfField_[name];
            } else {
                for (size_t k = 0; k < others_.size(); ++k) {
                    if (others_[k].first == attribute.name) {
                        name = FieldCount + k;
                        columns = &others_[k].second;
                        break;
                    }
                }
            }
            if (!columns || columns->empty() || taken_[name]) {
                if (!TCatalogStream::Decode(attribute, scratch_)) {
                    return std::nullopt;
                }
                continue;
            }
            taken_[name] = true;
            const size_t first = columns->front();
            const std::optional<std::string_view> value =
                TCatalogStream::DecodeClean(attribute, decoded_[first], mended_[first]);
            if (!value) {
                return std::nullopt;
            }
            for (const size_t c : *columns) {
                cells_[c] = *value;
            }
        }
        return std::span<const std::string_view>(cells_);
    }

private:
    TFieldNameMatcher matcher_;
    std::array<std::vector<size_t>, FieldCount> columnsOfField_;
    std::vector<std::pair<std::string, std::vector<size_t>>> others_;
    std::vector<bool> taken_;  // by name: the fields, then the others
    std::vector<std::string_view> cells_;
    std::vector<std::string> decoded_;
    std::vector<std::string> mended_;
    std::string scratch_;
};

// The rows of the catalog file read as they are handed on; false at the first thing only the
// XML parser reads (the rows so far have then been handed on).
TRowWalk StreamedRows(const QString& catalogPath, const std::vector<std::string>& names) {
    return [&catalogPath, &names](const TEachRow& each) {
        TCatalogStream stream;
        if (!stream.Load(catalogPath)) {
            return false;
        }
        TStreamedCells cells(names);
        while (stream.NextItem()) {
            const std::optional<std::span<const std::string_view>> row = cells.Of(stream);
            if (!row) {
                return false;
            }
            each(*row);
        }
        std::string scratch;
        return !stream.Unusual() &&
               std::all_of(stream.RootAttributes().begin(), stream.RootAttributes().end(),
                           [&](const TCatalogStream::TAttribute& attribute) {
                               return TCatalogStream::Decode(attribute, scratch);
                           });
    };
}

bool FitsOrWarn(const TExportContext& info, uint64_t items) {
    if (!FitsSheetRows(items)) {
        info.Prompt.ShowMessage(kWarningTitle, kRowCountOutOfRange, TMessageIcon::Exclamation);
        return false;
    }
    return true;
}

QString AskWorkbookPath(const TExportContext& info, const QString& defaultName) {
    return AskSaveFileName(info.Prompt, kWorkbookExtension, kWorkbookFilter, defaultName);
}

// Measures the rows, then writes them in place of the file at `path`: rows of a document or
// a tree, which are always complete.
void WriteWorkbook(const QString& path, const TRowWalk& rows,
                   const std::vector<std::string>& names) {
    const std::optional<TWorkbookLayout> layout = MeasureWorkbook(rows, names);
    ReplaceFileThroughTemporary(path, [&](const QString& temporaryPath) {
        return WriteCatalogWorkbook(temporaryPath, rows, *layout, names, ExportTitleOf(path));
    });
}

// The export of rows whose number is known: the row check, the question, then the file.
bool ExportRows(const TExportContext& info, const QString& defaultName, uint64_t items,
                const TRowWalk& rows, const std::vector<std::string>& names) {
    if (!FitsOrWarn(info, items)) {
        return false;
    }
    const QString path = AskWorkbookPath(info, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(info.Progress, kExportToFile);
    WriteWorkbook(path, rows, names);
    return true;
}

std::vector<std::string> ColumnNamesOf(const TExportContext& info) {
    return WorkbookColumnNames(info.ColumnList());
}

}  // namespace

bool ExportExcel(const TExportContext& context, const QString& defaultName) {
    const pugi::xml_node root = CatalogDocumentRoot(context.OpenDocument());
    const std::vector<std::string> names = ColumnNamesOf(context);
    return ExportRows(context, defaultName, CountDocumentItems(root), DocumentRows(root, names),
                      names);
}

bool ExportExcel(const TExportContext& context, const QString& defaultName,
                 const TCatalogTree& tree) {
    const std::vector<std::string> names = ColumnNamesOf(context);
    return ExportRows(context, defaultName, tree.NodeCount(), TreeRows(tree, names), names);
}

bool ExportCatalogExcel(const TExportContext& context, const QString& catalogPath,
                        const QString& defaultName) {
    const std::vector<std::string> names = ColumnNamesOf(context);
    const TRowWalk streamed = StreamedRows(catalogPath, names);
    // A first reading counts the rows and fits the columns before the question.
    std::optional<TWorkbookLayout> layout;
    {
        TProgressScope progress(context.Progress, kLoadingInfo);
        layout = MeasureWorkbook(streamed, names);
    }
    if (!layout) {
        pugi::xml_document document;
        {
            TProgressScope progress(context.Progress, kLoadingInfo);
            LoadCatalogDocument(catalogPath, document);
        }
        const pugi::xml_node root = document.document_element();
        return ExportRows(context, defaultName, CountDocumentItems(root), DocumentRows(root, names),
                          names);
    }
    if (!FitsOrWarn(context, layout->items)) {
        return false;
    }
    const QString path = AskWorkbookPath(context, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(context.Progress, kExportToFile);
    if (ReplaceFileThroughTemporary(path, [&](const QString& temporaryPath) {
            return WriteCatalogWorkbook(temporaryPath, streamed, *layout, names,
                                        ExportTitleOf(path));
        })) {
        return true;
    }
    // The file changed after it was measured into one only the parser reads.
    pugi::xml_document document;
    LoadCatalogDocument(catalogPath, document);
    WriteWorkbook(path, DocumentRows(document.document_element(), names), names);
    return true;
}

}  // namespace melodrix
