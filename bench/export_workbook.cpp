// The workbook export of a 100,000-item catalog against two floors: the CSV export of the
// same catalog, and the workbook library alone writing the same cells (title, headings, a
// serial number and every column of every row, one bordered format) in its constant-memory
// mode, the texts already in memory. Targets: at most 1.3 times the library alone, peak
// memory under 1 GiB; the ratio to the CSV export is printed beside it, for comparison only
// (the library's own cost is most of it). Best of five rounds, the three alternating.
//
//     bench_export_workbook [items]
#include <sys/resource.h>

#include <xlsxwriter.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CatalogFixture.h"
#include "core/catalog/FileItem.h"
#include "core/engine/FileInfo.h"

using namespace melodrix;
using melodrix::bench::Seconds;
using melodrix::bench::TFixedAnswer;

namespace {

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

using TRows = std::vector<std::vector<std::string>>;

// Every cell of the sheet as text, read from the opened document: the floor writes these.
TRows CellsOf(const pugi::xml_document& document, const QStringList& columns) {
    TRows rows;
    uint64_t serial = 0;
    for (pugi::xml_node node = document.document_element().first_child(); node;) {
        std::vector<std::string>& row = rows.emplace_back();
        row.push_back(std::to_string(++serial));
        for (const QString& column : columns) {
            row.emplace_back(node.attribute(column.toUtf8().constData()).value());
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling() && node.parent() != document.document_element()) {
            node = node.parent();
        }
        node = node.next_sibling();
    }
    return rows;
}

// The workbook library alone: the same cells in the same layout, constant-memory mode.
void WriteCellsAlone(const std::string& path, const std::string& directory,
                     const QStringList& columns, const TRows& rows) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    std::string tmpdir = directory;
    options.tmpdir = tmpdir.data();
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* title = workbook_add_format(workbook);
    format_set_bold(title);
    lxw_format* cell = workbook_add_format(workbook);
    format_set_border(cell, LXW_BORDER_THIN);
    const auto last = static_cast<lxw_col_t>(columns.size());
    for (lxw_col_t c = 0; c <= last; ++c) {
        worksheet_set_column(sheet, c, c, 20, nullptr);
    }
    worksheet_merge_range(sheet, 0, 0, 0, last, "Catalog", title);
    worksheet_write_string(sheet, 1, 0, "SerialNO", cell);
    for (lxw_col_t c = 0; c < last; ++c) {
        worksheet_write_string(sheet, 1, c + 1, columns[c].toUtf8().constData(), cell);
    }
    lxw_row_t r = 2;
    for (const std::vector<std::string>& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (row[c].empty()) {
                worksheet_write_blank(sheet, r, static_cast<lxw_col_t>(c), cell);
            } else {
                worksheet_write_string(sheet, r, static_cast<lxw_col_t>(c), row[c].c_str(), cell);
            }
        }
        ++r;
    }
    if (workbook_close(workbook) != LXW_NO_ERROR) {
        std::fprintf(stderr, "the library alone could not write %s\n", path.c_str());
        std::exit(2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t items = argc > 1 ? std::stoull(argv[1]) : 100'000;
    const QString catalog = QString::fromStdString(bench::EnsureCatalogFixture(items));
    const QString outDir = QString::fromStdString(bench::BenchDataDirectory().string());
    const QString csvPath = QDir(outDir).filePath(QStringLiteral("export_bench_wb.csv"));
    const QString xlsxPath = QDir(outDir).filePath(QStringLiteral("export_bench_wb.xlsx"));

    QStringList allColumns;
    for (const std::string_view name : FieldNames) {
        allColumns << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    pugi::xml_document document;
    const auto engine = [&](IPromptSink& prompt) {
        auto info = std::make_unique<TFileInfo>(SilentProgress(), prompt);
        info->Document = &document;
        info->ExportColumns = std::make_unique<QStringList>(allColumns);
        return info;
    };
    // Both exports read the opened catalog, as the export dialog does for a library
    // catalog; the CSV export builds its tree from the document first.
    TFixedAnswer csvAnswer(csvPath);
    TFixedAnswer xlsxAnswer(xlsxPath);
    const double peakBefore = PeakMegabytes();
    double open = 0;
    {
        auto info = engine(csvAnswer);
        open = Seconds([&] { info->OpenCatalogFile(catalog); });
    }
    const TRows rows = CellsOf(document, allColumns);
    const std::string alonePath =
        (bench::BenchDataDirectory() / "export_bench_alone.xlsx").string();
    double bestCsv = 1e30;
    double bestWorkbook = 1e30;
    double bestAlone = 1e30;
    for (int round = 0; round < 5; ++round) {
        bestAlone = std::min(bestAlone, Seconds([&] {
                                 WriteCellsAlone(alonePath, outDir.toStdString(), allColumns, rows);
                             }));
        bestCsv = std::min(bestCsv, Seconds([&] {
                               auto info = engine(csvAnswer);
                               info->ExportCsv({}, QStringLiteral(","), nullptr);
                           }));
        bestWorkbook = std::min(bestWorkbook, Seconds([&] {
                                    auto info = engine(xlsxAnswer);
                                    info->ExportExcel({});
                                }));
    }
    const double peak = PeakMegabytes();
    std::printf("catalog: %llu items, opened in %.3f s\n", static_cast<unsigned long long>(items),
                open);
    std::printf("csv       %8.3f s\n", bestCsv);
    std::printf("library alone, constant memory %8.3f s\n", bestAlone);
    std::printf(
        "xlsx      %8.3f s  %5.2fx csv, %5.2fx the library alone "
        "(target <= 1.3x)\n",
        bestWorkbook, bestWorkbook / bestCsv, bestWorkbook / bestAlone);
    std::printf("peak memory: %.0f MB (%.0f MB before the exports)\n", peak, peakBefore);
    const bool ok = bestWorkbook <= 1.3 * bestAlone && peak < 1024;
    std::printf("targets (xlsx <= 1.3x the library alone, peak < 1 GiB): %s\n",
                ok ? "met" : "MISSED");
    QFile::remove(csvPath);
    QFile::remove(xlsxPath);
    QFile::remove(QString::fromStdString(alonePath));
    return ok ? 0 : 1;
}
