#include <gtest/gtest.h>

#include <QFile>
#include <string>
#include <tuple>
#include <vector>

#include "ExportTestSupport.h"
#include "WorkbookReader.h"
#include "core/base/Errors.h"
#include "core/export/ExportTexts.h"
#include "core/export/SheetCells.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// A catalog document: a folder holding two files, with a stored DiskName that differs
// from any file name, and a second top-level item.
constexpr const char* kCatalog =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>"
    "<fileinfo generated=\"Vellumdex\">"
    "<file FileName=\"Music\" FileSize=\"6144\" FileType=\"directory\" DiskName=\"Stored\">"
    "<file FileName=\"a.mp3\" FileSize=\"2048\" FileType=\"file\" Description=\"R&amp;B "
    "&lt;x&gt;\"/>"
    "<!-- not an item -->"
    "<file FileName=\"b.mp3\" FileSize=\"4096\" FileType=\"file\"/>"
    "</file>"
    "<file FileName=\"Other\"/>"
    "</fileinfo>";

}  // namespace

TEST(SheetCells, ColumnLettersAndRangeNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "A"},   {"26", "Z"},  {"27", "AA"},  {"28", "AB"},   {"52", "AZ"},
        {"53", "BA"}, {"78", "BZ"}, {"702", "ZZ"}, {"703", "AAA"}, {"16384", "XFD"},
        {"0", "0"},   {"x", "x"},   {"-3", "-3"},  {"", ""},       {"2.5", "2.5"},
    };
    for (const auto& [number, letters] : cases) {
        EXPECT_EQ(ColumnLetters(QString::fromLatin1(number)), QString::fromLatin1(letters))
            << number;
    }
    EXPECT_EQ(RangeName(0, 0, 0, 2), "A1:C1");
    EXPECT_EQ(RangeName(1, 0, 4, 2), "A2:C5");
    EXPECT_EQ(RangeName(1, 0, 8, 5), "A2:F9");
}

TEST(SheetCells, CountsEveryNestedElementAndChecksTheRowLimit) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(kCatalog));
    EXPECT_EQ(CountDocumentItems(document.document_element()), 4u);

    // Deep nesting is walked without recursion.
    std::string deep = "<fileinfo>";
    for (int i = 0; i < 20000; ++i) {
        deep += "<file>";
    }
    for (int i = 0; i < 20000; ++i) {
        deep += "</file>";
    }
    deep += "<file/></fileinfo>";
    ASSERT_TRUE(document.load_string(deep.c_str()));
    EXPECT_EQ(CountDocumentItems(document.document_element()), 20001u);

    // Title and heading rows come on top of the items.
    EXPECT_TRUE(FitsSheetRows(0));
    EXPECT_TRUE(FitsSheetRows(1048574));
    EXPECT_FALSE(FitsSheetRows(1048575));
}

TEST(WorkbookExport, SheetHasTitleHeadingRowsBordersAndWidths) {
    TExportFixture f;
    ASSERT_TRUE(f.document.load_string(kCatalog));
    f.Columns({QStringLiteral("FileName"), QStringLiteral("FileSize"),
               QStringLiteral("Description"), QStringLiteral("DiskName")});
    const QString path = f.Answer(QStringLiteral("songs.best.xlsx"));
    ASSERT_TRUE(f.info.ExportExcel(QStringLiteral("Hits")));

    ASSERT_EQ(f.prompt.fileQuestions.size(), 1u);
    EXPECT_EQ(f.prompt.fileQuestions[0].defaultExtension, QStringLiteral("xlsx"));
    EXPECT_EQ(f.prompt.fileQuestions[0].filter, QStringLiteral("EXCEL File|*.xlsx"));
    EXPECT_EQ(f.prompt.fileQuestions[0].initialName, QStringLiteral("Hits"));
    EXPECT_EQ(f.progress.texts.last(), QStringLiteral("Export to file.."));
    EXPECT_FALSE(f.progress.visible);

    const TWorkbookReader sheet(path);
    ASSERT_TRUE(sheet.loaded);
    EXPECT_EQ(sheet.Text("A1"), "songs");
    EXPECT_TRUE(sheet.Bold("A1"));
    EXPECT_EQ(sheet.Alignment("A1", "horizontal"), "center");
    EXPECT_EQ(sheet.Alignment("A1", "vertical"), "center");
    EXPECT_EQ(sheet.merges, std::vector<std::string>{"A1:E1"});

    const std::vector<std::vector<std::string>> grid = {
        {"SerialNO", "FileName", "FileSize", "Description", "DiskName"},
        {"1", "Music", "6144", "", "Stored"},
        {"2", "a.mp3", "2048", "R&B <x>", ""},
        {"3", "b.mp3", "4096", "", ""},
        {"4", "Other", "", "", ""},
    };
    for (size_t r = 0; r < grid.size(); ++r) {
        for (size_t c = 0; c < grid[r].size(); ++c) {
            const std::string cell =
                CellName(static_cast<uint32_t>(r + 1), static_cast<uint32_t>(c));
            EXPECT_TRUE(sheet.Has(cell)) << cell;
            EXPECT_EQ(sheet.Text(cell), grid[r][c]) << cell;
            // The running numbers and the sizes are numbers.
            const bool number = r > 0 && (c == 0 || c == 2) && !grid[r][c].empty();
            EXPECT_EQ(sheet.IsText(cell), !grid[r][c].empty() && !number) << cell;
            EXPECT_TRUE(sheet.ThinBorder(cell)) << cell;
            EXPECT_FALSE(sheet.Bold(cell)) << cell;
        }
    }
    EXPECT_FALSE(sheet.ThinBorder("A1"));
    EXPECT_FALSE(sheet.Has("A7"));
    EXPECT_FALSE(sheet.Has("F2"));

    // Columns are fitted to their longest text: "Description" outgrows "R&B <x>".
    EXPECT_GE(sheet.ColumnWidth(1), 8.0);
    EXPECT_GE(sheet.ColumnWidth(4), 11.0);
    EXPECT_LT(sheet.ColumnWidth(3), sheet.ColumnWidth(4));
    EXPECT_LT(sheet.ColumnWidth(4), 20.0);
}

TEST(WorkbookExport, EmptyColumnListGivesOnlyTheSerialColumn) {
    TExportFixture f;
    ASSERT_TRUE(f.document.load_string(kCatalog));
    const QString path = f.Answer(QStringLiteral("only.xlsx"));
    ASSERT_TRUE(f.info.ExportExcel({}));

    const TWorkbookReader sheet(path);
    ASSERT_TRUE(sheet.loaded);
    EXPECT_TRUE(sheet.merges.empty());
    EXPECT_EQ(sheet.Text("A1"), "only");
    EXPECT_TRUE(sheet.Bold("A1"));
    EXPECT_EQ(sheet.Text("A2"), "SerialNO");
    EXPECT_EQ(sheet.Text("A6"), "4");
    EXPECT_EQ(sheet.CellCount(), 6u);
}

TEST(WorkbookExport, ColumnsReadAttributesByNameInAnyOrder) {
    TExportFixture f;
    ASSERT_TRUE(
        f.document.load_string("<fileinfo><file FileSize=\"1\" Extra=\"e\" FileName=\"n\"/>"
                               "<file FileName=\"m\" FileSize=\"2\"/></fileinfo>"));
    f.Columns({QStringLiteral("FileName"), QStringLiteral("Extra"), QStringLiteral("FileSize"),
               QStringLiteral("FileName"), QStringLiteral("Nope")});
    const QString path = f.Answer(QStringLiteral("order.xlsx"));
    ASSERT_TRUE(f.info.ExportExcel({}));

    const TWorkbookReader sheet(path);
    ASSERT_TRUE(sheet.loaded);
    const std::vector<std::vector<std::string>> rows = {{"1", "n", "e", "1", "n", ""},
                                                        {"2", "m", "", "2", "m", ""}};
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const std::string cell =
                CellName(static_cast<uint32_t>(r + 2), static_cast<uint32_t>(c));
            EXPECT_EQ(sheet.Text(cell), rows[r][c]) << cell;
        }
    }
    EXPECT_EQ(sheet.Text("F2"), "Nope");
}

TEST(SheetCells, OnlyPlainDecimalNumbersAreNumbers) {
    for (const auto& [text, value, decimals] : std::vector<std::tuple<std::string, double, int>>{
             {"0", 0, 0},
             {"2048", 2048, 0},
             {"-3", -3, 0},
             {"12.50", 12.5, 2},
             {"0.25", 0.25, 2},
             {"123456789012345", 123456789012345.0, 0}}) {
        const std::optional<TPlainNumber> number = PlainDecimalNumber(text);
        ASSERT_TRUE(number) << text;
        EXPECT_EQ(number->value, value) << text;
        EXPECT_EQ(number->decimals, decimals) << text;
    }
    for (const char* text : {"", "-", "007", "01", "-0", "-0.0", "1.", ".5", "+1", "1e3", "1,5",
                             "1 024", " 12", "3/12", "1:02", "0x10", "1234567890123456", "nan"}) {
        EXPECT_FALSE(PlainDecimalNumber(text)) << text;
    }
}

TEST(WorkbookExport, NumberTextsBecomeNumberCellsShownWithTheirDigits) {
    TExportFixture f;
    ASSERT_TRUE(f.document.load_string(
        R"(<fileinfo><file FileName="1999" FileSize="123456789012" SizePercentage="12.50" )"
        R"(MP3_Track="3/12" MP3_Year="007"/></fileinfo>)"));
    f.Columns({QStringLiteral("FileName"), QStringLiteral("FileSize"),
               QStringLiteral("SizePercentage"), QStringLiteral("MP3_Track"),
               QStringLiteral("MP3_Year")});
    const QString path = f.Answer(QStringLiteral("numbers.xlsx"));
    ASSERT_TRUE(f.info.ExportExcel({}));

    const TWorkbookReader sheet(path);
    ASSERT_TRUE(sheet.loaded);
    for (const char* cell : {"A3", "B3", "C3", "D3"}) {
        EXPECT_FALSE(sheet.IsText(cell)) << cell;
        EXPECT_TRUE(sheet.ThinBorder(cell)) << cell;
    }
    EXPECT_EQ(std::stod(sheet.Text("C3")), 123456789012.0);
    EXPECT_EQ(sheet.NumberFormat("C3"), "0");
    EXPECT_EQ(std::stod(sheet.Text("D3")), 12.5);
    EXPECT_EQ(sheet.NumberFormat("D3"), "0.00");
    EXPECT_EQ(sheet.Text("B3"), "1999");
    // A track with its total and a year with leading zeros stay as typed.
    EXPECT_TRUE(sheet.IsText("E3"));
    EXPECT_TRUE(sheet.IsText("F3"));
    EXPECT_EQ(sheet.Text("F3"), "007");
    // Headings stay texts, whatever they look like.
    EXPECT_TRUE(sheet.IsText("B2"));
}

TEST(WorkbookExport, HostileValuesBecomeCellsTheFormatCanHold) {
    TExportFixture f;
    const std::string longValue(40000, 'x');
    const std::string catalog =
        "<fileinfo><file FileName=\"bad&#1;name\" Description=\"" + longValue + "\"/></fileinfo>";
    ASSERT_TRUE(f.document.load_string(catalog.c_str()));
    f.Columns({QStringLiteral("FileName"), QStringLiteral("Description")});
    const QString path = f.Answer(QStringLiteral("bad.xlsx"));
    ASSERT_TRUE(f.info.ExportExcel({}));

    const TWorkbookReader sheet(path);
    ASSERT_TRUE(sheet.loaded);
    EXPECT_EQ(sheet.Text("B3"), "bad\xEF\xBF\xBDname");
    EXPECT_EQ(sheet.Text("C3"), std::string(32767, 'x'));
}

TEST(WorkbookExport, TooManyRowsAreRefusedBeforeAnyQuestion) {
    TExportFixture f;
    pugi::xml_node root = f.document.append_child("fileinfo");
    for (uint64_t i = 0; i < 1048575; ++i) {
        root.append_child("file");
    }
    f.Answer(QStringLiteral("big.xlsx"));
    EXPECT_FALSE(f.info.ExportExcel({}));
    EXPECT_TRUE(f.prompt.fileQuestions.empty());
    EXPECT_EQ(f.prompt.titles, QStringList{kWarningTitle});
    EXPECT_EQ(f.prompt.messages,
              QStringList{QStringLiteral("The row count is out of excel range.")});
    EXPECT_TRUE(QDir(f.dir.path()).isEmpty());
}

TEST(WorkbookExport, ReplacesAnOldFileOnlyWhenTheNewOneIsComplete) {
    TExportFixture f;
    ASSERT_TRUE(f.document.load_string(kCatalog));
    f.Columns({QStringLiteral("FileName")});
    const QString path = WriteFile(f.dir.path(), QStringLiteral("old.xlsx"), "keep me");

    // No to the overwrite question, then a cancelled dialog.
    f.prompt.fileAnswers.push_back(path);
    f.prompt.yesNoAnswers.push_back(false);
    EXPECT_FALSE(f.info.ExportExcel({}));
    EXPECT_FALSE(f.info.ExportExcel({}));
    EXPECT_EQ(ReadFile(path), "keep me");

    // Yes, but the disk is full.
    {
        const TFileSizeLimit fullDisk(512);
        f.prompt.fileAnswers.push_back(path);
        f.prompt.yesNoAnswers.push_back(true);
        EXPECT_THROW(f.info.ExportExcel({}), TMelodrixError);
    }
    EXPECT_EQ(ReadFile(path), "keep me");
    EXPECT_FALSE(f.progress.visible);

    // Yes with room to write: the workbook replaces the file, no temporary file stays.
    f.prompt.fileAnswers.push_back(path);
    f.prompt.yesNoAnswers.push_back(true);
    ASSERT_TRUE(f.info.ExportExcel({}));
    EXPECT_EQ(TWorkbookReader(path).Text("B3"), "Music");
    EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.xlsx")});
    EXPECT_TRUE(QFileInfo(path).permission(QFileDevice::ReadOther));
}
