#include "core/export/CatalogWorkbook.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/catalog/FileItem.h"
#include "core/catalog/XmlText.h"
#include "core/catalogfile/DocumentItems.h"
#include "core/export/SheetCells.h"

namespace melodrix {

namespace {

constexpr std::string_view kSerialHeading = "SerialNO";
// The most characters a cell can hold, and the widest a column can be.
constexpr size_t kCellTextLimit = 32767;
constexpr double kMaxColumnWidth = 255;

struct TWorkbookCloser {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};
using TWorkbookHandle = std::unique_ptr<lxw_workbook, TWorkbookCloser>;

// A cell text the workbook can hold: valid UTF-8 without control characters XML
// cannot carry, cut at the cell limit, ending in a NUL as the writer needs.
class TCellText {
public:
    const char* Of(std::string_view value) {
        if (SanitizeForXml(value, mended_)) {
            value = mended_;
        }
        text_.assign(Limited(value));
        return text_.c_str();
    }

private:
    static std::string_view Limited(std::string_view text) {
        size_t characters = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 &&
                ++characters > kCellTextLimit) {
                return text.substr(0, i);
            }
        }
        return text;
    }

    std::string mended_;
    std::string text_;
};

class TSheetWriter {
public:
    TSheetWriter(lxw_worksheet* sheet, const QString& path) : sheet_(sheet), path_(path) {}

    void Text(uint32_t row, uint32_t column, const char* text, lxw_format* format) {
        Check(worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(column), text, format),
              row, column);
    }
    void Number(uint32_t row, uint32_t column, double value, lxw_format* format) {
        Check(worksheet_write_number(sheet_, row, static_cast<lxw_col_t>(column), value, format),
              row, column);
    }
    void Blank(uint32_t row, uint32_t column, lxw_format* format) {
        Check(worksheet_write_blank(sheet_, row, static_cast<lxw_col_t>(column), format), row,
              column);
    }
    void Check(lxw_error error, uint32_t row, uint32_t column) const {
        if (error != LXW_NO_ERROR) {
            throw TMelodrixError(QStringLiteral("Cannot write %1, cell %2: %3")
                                     .arg(path_, QString::fromStdString(CellName(row, column)),
                                          QString::fromUtf8(lxw_strerror(error))));
        }
    }
    lxw_worksheet* Sheet() const { return sheet_; }

private:
    lxw_worksheet* sheet_;
    QString path_;
};

// The bordered cell formats of number cells, one per count of decimals shown, so that a
// number cell shows the digits its text had ("12.50", and a large size in full, not as
// 1.2E+11).
class TNumberFormats {
public:
    TNumberFormats(lxw_workbook* workbook, const QString& path)
        : workbook_(workbook), path_(path) {}

    lxw_format* For(int decimals) {
        const auto index = static_cast<size_t>(decimals);
        if (index >= formats_.size()) {
            formats_.resize(index + 1, nullptr);
        }
        if (!formats_[index]) {
            lxw_format* format = workbook_add_format(workbook_);
            if (!format) {
                throw TMelodrixError(QStringLiteral("Cannot write %1: out of memory").arg(path_));
            }
            format_set_border(format, LXW_BORDER_THIN);
            const std::string pattern =
                decimals == 0 ? std::string("0") : "0." + std::string(index, '0');
            format_set_num_format(format, pattern.c_str());
            formats_[index] = format;
        }
        return formats_[index];
    }

private:
    lxw_workbook* workbook_;
    QString path_;
    std::vector<lxw_format*> formats_;
};

// The attribute values of an item for each column. Attributes are normally stored in
// field order, so the next field name is tried first and most lookups take one compare.
class TColumnValues {
public:
    explicit TColumnValues(const std::vector<std::string>& names) : names_(names) {
        values_.resize(names.size());
        found_.resize(names.size());
        for (size_t c = 0; c < names.size(); ++c) {
            const int field = FindFieldIndex(names[c]);
            if (field >= 0) {
                columnsOfField_[static_cast<size_t>(field)].push_back(c);
            } else {
                otherColumns_.push_back(c);
            }
        }
    }

    // Empty for a column the element has no attribute for.
    std::span<const std::string_view> Of(const pugi::xml_node& element) {
        std::fill(values_.begin(), values_.end(), std::string_view());
        std::fill(found_.begin(), found_.end(), false);
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            const int field = FieldOf(attribute.name());
            if (field < 0) {
                continue;
            }
            for (const size_t c : columnsOfField_[static_cast<size_t>(field)]) {
                if (!found_[c]) {  // the first of repeated attributes counts
                    found_[c] = true;
                    values_[c] = attribute.value();
                }
            }
        }
        for (const size_t c : otherColumns_) {
            const pugi::xml_attribute attribute = element.attribute(names_[c].c_str());
            values_[c] = attribute ? attribute.value() : "";
        }
        return values_;
    }

private:
    int FieldOf(std::string_view name) {
        for (int k = 0; k < FieldCount; ++k) {
            const int field = (next_ + k) % FieldCount;
            if (FieldNames[static_cast<size_t>(field)] == name) {
                next_ = (field + 1) % FieldCount;
                return field;
            }
        }
        return -1;
    }

    const std::vector<std::string>& names_;
    std::array<std::vector<size_t>, FieldCount> columnsOfField_;
    std::vector<size_t> otherColumns_;
    std::vector<std::string_view> values_;
    std::vector<bool> found_;
    int next_ = 0;
};

}  // namespace

std::vector<std::string> WorkbookColumnNames(const QStringList& columns) {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(columns.size()));
    for (const QString& column : columns) {
        names.push_back(column.toStdString());
    }
    return names;
}

TRowWalk DocumentRows(const pugi::xml_node& root, const std::vector<std::string>& names) {
    return [root, &names](const TEachRow& each) {
        TColumnValues columnValues(names);
        ForEachDocumentItem(root,
                            [&](const pugi::xml_node& element) { each(columnValues.Of(element)); });
        return true;
    };
}

TRowWalk TreeRows(const TCatalogTree& tree, const std::vector<std::string>& names) {
    return [&tree, &names](const TEachRow& each) {
        std::vector<int> fields;
        for (const std::string& name : names) {
            fields.push_back(FindFieldIndex(name));
        }
        std::vector<std::string_view> cells(names.size());
        std::vector<std::string> mended(names.size());
        ForEachNode(tree, [&](const TCatalogNode* node) {
            const TItemTexts texts = node->Item().AllFields();
            for (size_t c = 0; c < fields.size(); ++c) {
                cells[c] =
                    fields[c] < 0 ? std::string_view() : texts[static_cast<size_t>(fields[c])];
                // Mended as the document holds it.
                if (SanitizeForXml(cells[c], mended[c])) {
                    cells[c] = mended[c];
                }
            }
            each(cells);
        });
        return true;
    };
}

std::optional<TWorkbookLayout> MeasureWorkbook(const TRowWalk& rows,
                                               const std::vector<std::string>& names) {
    TWorkbookLayout layout;
    std::vector<uint32_t> widest(names.size() + 1, 0);
    for (size_t c = 0; c < names.size(); ++c) {
        widest[c + 1] = TextDisplayWidth(names[c]);
    }
    const bool complete = rows([&](std::span<const std::string_view> cells) {
        ++layout.items;
        for (size_t c = 0; c < cells.size(); ++c) {
            if (!cells[c].empty()) {
                widest[c + 1] = std::max(widest[c + 1], TextDisplayWidth(cells[c]));
            }
        }
    });
    if (!complete) {
        return std::nullopt;
    }
    widest[0] = std::max(TextDisplayWidth(kSerialHeading),
                         static_cast<uint32_t>(std::to_string(layout.items).size()));
    layout.widths.reserve(widest.size());
    for (const uint32_t characters : widest) {
        // A little room beside the text, as a fitted column has.
        layout.widths.push_back(std::min(kMaxColumnWidth, characters * 1.1 + 2.0));
    }
    return layout;
}

bool WriteCatalogWorkbook(const QString& path, const TRowWalk& rows, const TWorkbookLayout& layout,
                          const std::vector<std::string>& names, const QString& title) {
    if (!FitsSheetRows(layout.items)) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: too many rows").arg(path));
    }
    const auto lastColumn = static_cast<uint32_t>(names.size());
    if (lastColumn >= LXW_COL_MAX) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: too many columns").arg(path));
    }

    const QByteArray fileName = QFile::encodeName(path);
    // Rows go to disk as they are written (in row order, title first), which halves the
    // peak memory and the time of a large sheet; cells then hold their strings inline.
    // The row data waits beside the target, not in a temporary folder that may be
    // held in memory.
    QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = directory.data();
    TWorkbookHandle workbook(workbook_new_opt(fileName.constData(), &options));
    if (!workbook) {
        throw TMelodrixError(
            QStringLiteral("Cannot write %1: the workbook cannot be created").arg(path));
    }
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook.get(), nullptr);
    lxw_format* titleFormat = workbook_add_format(workbook.get());
    lxw_format* cellFormat = workbook_add_format(workbook.get());
    if (!worksheet || !titleFormat || !cellFormat) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: out of memory").arg(path));
    }
    format_set_bold(titleFormat);
    format_set_align(titleFormat, LXW_ALIGN_CENTER);
    format_set_align(titleFormat, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(cellFormat, LXW_BORDER_THIN);

    TSheetWriter sheet(worksheet, path);
    for (uint32_t c = 0; c <= lastColumn && c < layout.widths.size(); ++c) {
        sheet.Check(worksheet_set_column(worksheet, static_cast<lxw_col_t>(c),
                                         static_cast<lxw_col_t>(c), layout.widths[c], nullptr),
                    0, c);
    }

    TCellText cellText;
    const std::string titleText = title.toStdString();
    if (lastColumn > 0) {
        sheet.Check(worksheet_merge_range(worksheet, 0, 0, 0, static_cast<lxw_col_t>(lastColumn),
                                          cellText.Of(titleText), titleFormat),
                    0, 0);
    } else {
        // A single cell is not merged; it only carries the title.
        sheet.Text(0, 0, cellText.Of(titleText), titleFormat);
    }

    sheet.Text(1, 0, kSerialHeading.data(), cellFormat);
    for (uint32_t c = 0; c < lastColumn; ++c) {
        sheet.Text(1, c + 1, cellText.Of(names[c]), cellFormat);
    }

    // A text that is a plain decimal number becomes a number cell, as the spreadsheet
    // application would take it when typed, so sizes, years and lengths sum and sort.
    TNumberFormats numberFormats(workbook.get(), path);
    uint32_t row = 2;
    uint64_t serial = 0;
    const bool complete = rows([&](std::span<const std::string_view> cells) {
        sheet.Number(row, 0, static_cast<double>(++serial), numberFormats.For(0));
        for (uint32_t c = 0; c < lastColumn; ++c) {
            if (c < cells.size() && !cells[c].empty()) {
                if (const std::optional<TPlainNumber> number = PlainDecimalNumber(cells[c])) {
                    sheet.Number(row, c + 1, number->value, numberFormats.For(number->decimals));
                } else {
                    sheet.Text(row, c + 1, cellText.Of(cells[c]), cellFormat);
                }
            } else {
                sheet.Blank(row, c + 1, cellFormat);
            }
        }
        ++row;
    });
    if (!complete) {
        return false;  // the handle closes the unfinished workbook; its caller drops it
    }

    const lxw_error closed = workbook_close(workbook.release());
    if (closed != LXW_NO_ERROR) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2")
                                 .arg(path, QString::fromUtf8(lxw_strerror(closed))));
    }
    return true;
}

}  // namespace melodrix
