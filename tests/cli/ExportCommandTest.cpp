#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <pugixml.hpp>

#include "CliRun.h"
#include "core/catalog/CatalogTree.h"
#include "core/config/Config.h"
#include "core/engine/FileInfo.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;
using melodrix::testing::ReadFile;
using melodrix::testing::WriteFile;

namespace {

class CliExport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("lib"));
        ASSERT_TRUE(QDir().mkpath(library + QStringLiteral("/Rock")));
        // A folder with two files, saved with a stored disk name the export replaces.
        TCatalogTree tree;
        TCatalogNode* folder = tree.AppendChild();
        folder->Item().SetField(FileName, "Music");
        folder->Item().SetField(FileType, "directory");
        folder->Item().SetField(DiskName, "Old");
        for (const char* name : {"a, b.mp3", "c.mp3"}) {
            TCatalogNode* file = tree.AppendChild(folder);
            file->Item().SetField(FileName, name);
            file->Item().SetField(FileSize, "2048");
            file->Item().SetField(FileType, "file");
        }
        pugi::xml_document document;
        TFileInfo engine;
        engine.Document = &document;
        engine.NewDocument();
        engine.TreeToDocument(tree);
        ASSERT_TRUE(engine.SaveCatalogFile(library + QStringLiteral("/Rock/Hits.xml")));
    }

    TCliRun Export(const QStringList& args) {
        return RunCli(QStringList{QStringLiteral("--library"), library, QStringLiteral("export")} +
                      args);
    }
    QString Out(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString library;
};

}  // namespace

TEST_F(CliExport, WritesEachFormatFromALibraryCatalog) {
    const QString csv = Out("hits.csv");
    const TCliRun run =
        Export({QStringLiteral("Rock/Hits"), QStringLiteral("--format"), QStringLiteral("csv"),
                QStringLiteral("--columns"), QStringLiteral("FileName, FileSize,DiskName"),
                QStringLiteral("-o"), csv});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), csv);
    EXPECT_EQ(ReadFile(csv),
              "FileName,FileSize,DiskName\r\nMusic,,Hits\r\n\"a, b.mp3\",2048,Hits\r\n"
              "c.mp3,2048,Hits\r\n");

    const QString text = Out("hits.txt");
    ASSERT_EQ(Export({QStringLiteral("Rock/Hits.xml"), QStringLiteral("--format=text"),
                      QStringLiteral("--columns=FileName"), QStringLiteral("-o"), text})
                  .status,
              0);
    EXPECT_EQ(ReadFile(text), "FileName    \r\nMusic\r\na, b.mp3\r\nc.mp3\r\n");

    const QString html = Out("page.htm");
    ASSERT_EQ(Export({QStringLiteral("Rock/Hits"), QStringLiteral("--format"),
                      QStringLiteral("html"), QStringLiteral("-o"), html})
                  .status,
              0);
    EXPECT_TRUE(ReadFile(html).contains("<H5 Align=center>page</H5>"));

    const QString xml = Out("copy.xml");
    ASSERT_EQ(Export({QStringLiteral("Rock/Hits"), QStringLiteral("--format"),
                      QStringLiteral("xml"), QStringLiteral("-o"), xml})
                  .status,
              0);
    EXPECT_EQ(ReadFile(xml), ReadFile(library + QStringLiteral("/Rock/Hits.xml")));

    const QString xlsx = Out("book.xlsx");
    ASSERT_EQ(Export({QStringLiteral("Rock/Hits"), QStringLiteral("--format"),
                      QStringLiteral("xlsx"), QStringLiteral("-o"), xlsx})
                  .status,
              0);
    EXPECT_TRUE(ReadFile(xlsx).startsWith("PK"));
}

TEST_F(CliExport, DefaultColumnsAreTheOnesTickedForExport) {
    const QString csv = Out("default.csv");
    ASSERT_EQ(Export({QStringLiteral("Rock/Hits"), QStringLiteral("--format"),
                      QStringLiteral("csv"), QStringLiteral("-o"), csv})
                  .status,
              0);
    // The tool's configuration lives beside it.
    const TConfig config(QFileInfo(QStringLiteral(MELODRIX_CLI_PATH)).absolutePath());
    QStringList ticked;
    for (const TColumnSpec& column : config.Columns()) {
        if (column.DefaultExport) {
            ticked << column.Name;
        }
    }
    ASSERT_FALSE(ticked.isEmpty());
    EXPECT_EQ(QString::fromUtf8(ReadFile(csv)).section(QStringLiteral("\r\n"), 0, 0),
              ticked.join(QLatin1Char(',')));
}

TEST_F(CliExport, ReplacesAFileOnlyWithForce) {
    const QString path = WriteFile(dir.path(), QStringLiteral("old.csv"), "keep me");
    const QStringList args{QStringLiteral("Rock/Hits"),
                           QStringLiteral("--format"),
                           QStringLiteral("csv"),
                           QStringLiteral("--columns"),
                           QStringLiteral("FileName"),
                           QStringLiteral("-o"),
                           path};
    const TCliRun refused = Export(args);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--force")));
    EXPECT_EQ(ReadFile(path), "keep me");

    ASSERT_EQ(Export(args + QStringList{QStringLiteral("--force")}).status, 0);
    EXPECT_EQ(ReadFile(path), "FileName\r\nMusic\r\n\"a, b.mp3\"\r\nc.mp3\r\n");
}

TEST_F(CliExport, RefusesBadCommandLines) {
    const QString out = Out("x.csv");
    const auto status = [&](QStringList args) {
        return Export(args << QStringLiteral("-o") << out).status;
    };
    EXPECT_EQ(status({QStringLiteral("Rock/Hits")}), 2);
    EXPECT_EQ(
        status({QStringLiteral("Rock/Hits"), QStringLiteral("--format"), QStringLiteral("pdf")}),
        2);
    EXPECT_EQ(
        status({QStringLiteral("Rock/Hits"), QStringLiteral("--format"), QStringLiteral("csv"),
                QStringLiteral("--columns"), QStringLiteral("FileName,Nope")}),
        2);
    EXPECT_EQ(status({QStringLiteral("Rock/Hits"), QStringLiteral("--format"),
                      QStringLiteral("html"), QStringLiteral("--separator"), QStringLiteral(";")}),
              2);
    EXPECT_EQ(
        Export({QStringLiteral("Rock/Hits"), QStringLiteral("--format"), QStringLiteral("csv")})
            .status,
        2);
    EXPECT_EQ(
        status({QStringLiteral("Rock/None"), QStringLiteral("--format"), QStringLiteral("csv")}),
        1);
    // The engine's warning becomes the error line.
    const TCliRun quote =
        Export({QStringLiteral("Rock/Hits"), QStringLiteral("--format"), QStringLiteral("csv"),
                QStringLiteral("--separator"), QStringLiteral("\""), QStringLiteral("-o"), out});
    EXPECT_EQ(quote.status, 1);
    EXPECT_TRUE(quote.err.contains(QStringLiteral("separator")));
    EXPECT_FALSE(QFileInfo::exists(out));

    const TCliRun help = Export({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--format html|text|csv|xml|xlsx")));
}
