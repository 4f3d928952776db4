// The XML and workbook exports of a tree and of a catalog file read as it goes, against the
// exports of the document they replace: the same bytes, the same cells, the same errors.
#include <gtest/gtest.h>

#include <QBuffer>
#include <functional>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "WorkbookReader.h"
#include "core/base/Errors.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/export/ExportTexts.h"
#include "support/HostileCatalogs.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// What an export leaves: the file's bytes (for a workbook, its sheet), or the error.
struct TExported {
    QByteArray bytes;
    QString error;
    bool operator==(const TExported&) const = default;
};

void PrintTo(const TExported& exported, std::ostream* out) {
    *out << (exported.error.isEmpty() ? exported.bytes.left(300).toStdString()
                                      : "error: " + exported.error.toStdString());
}

enum class TKind { Xml, Workbook };

TExported ExportOf(TKind kind, const QString& path, const std::function<bool()>& exportIt) {
    try {
        if (!exportIt()) {
            return {{}, QStringLiteral("nothing written")};
        }
    } catch (const TMelodrixError& error) {
        return {{}, error.Message()};
    }
    return {kind == TKind::Xml ? ReadFile(path) : WorkbookMember(path, "xl/worksheets/sheet1.xml"),
            {}};
}

// Catalogs as this program and older ones write them, beside the hostile ones: stored disk
// names, root attributes, other element names, end tags, blanks, another encoding, and one large
// enough to cross the reader's pieces and the writer's flushes.
std::vector<std::string> PlainCatalogTexts() {
    std::vector<std::string> texts = {
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo "
        "generated=\"Vellumdex\" ScanMask=\"\\.MP3\\\" OnlyFolders=\"false\"><file "
        "FileName=\"Music\" FullPath=\"/m/Music\" FileType=\"directory\" DiskName=\"Stored\"><file "
        "FileName=\"a.mp3\" FullPath=\"/m/Music/a.mp3\" FileSize=\"2048\" FileType=\"file\" "
        "MP3_Title=\"Caf\xC3\xA9 &amp; co\"/></file><file FileName=\"Other\"/></fileinfo>",
        "<catalog x='1' y=\"a&#10;b\">\n  <item FileName=\"a\"></item>\n  <item FileName=\"b\">"
        "  \n <deep Unknown=\"e &lt; f\" FileType=\"\"/>\n</item>\n</catalog>\n",
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?><fileinfo generated=\"old\"><file "
        "FileName=\"Caf\xE9\" MP3_Artist=\"Bj\xF6rk\" Unknown=\"\x80\"/></fileinfo>",
    };
    std::string large = "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo>";
    for (int folder = 0; large.size() < (size_t{3} << 20) / 2; ++folder) {
        large += "<file FileName=\"folder " + std::to_string(folder) + "\">";
        for (int file = 0; file < 50; ++file) {
            large += "<file FileName=\"song " + std::to_string(file) + " &amp; \xE2\x82\xAC\" " +
                     "FileSize=\"" + std::to_string(file * 1000) + "\" Description=\"" +
                     std::string(static_cast<size_t>(file % 13), 'd') + "\"/>";
        }
        large += "</file>";
    }
    texts.push_back(large + "</fileinfo>");
    return texts;
}

std::vector<std::string> AllCatalogTexts() {
    std::vector<std::string> texts = HostileCatalogTexts();
    const std::vector<std::string> plain = PlainCatalogTexts();
    texts.insert(texts.end(), plain.begin(), plain.end());
    return texts;
}

// Field values the writers must mend and escape, in a nested tree with catalog attributes.
void FillHostileTree(TCatalogTree& tree) {
    tree.Attributes().Set(kScanMaskAttribute, "\\.MP3\\ & <more>");
    tree.Attributes().Set(kScanFolderAttribute, "/media/\x01usb");
    TCatalogNode* folder =
        AddItem(tree, nullptr, {{FileName, "R&B <live> \"x\" 'y'"}, {FileType, "directory"}});
    AddItem(tree, folder,
            {{FileName, "bad \xFF\xC3 utf8"},
             {Description,
              "tab\tline\nreturn\r\x02 cut \xE3"
              "ab"},
             {DiskName, "Disk"}});
    AddItem(tree, AddItem(tree, folder, {{FullPath, "/only/path"}}), {{MP3_Title, "\xEF\xBF\xBE"}});
    AddItem(tree, nullptr, {});
}

const QStringList kColumns = {
    QStringLiteral("FileName"), QStringLiteral("FullPath"),    QStringLiteral("FileType"),
    QStringLiteral("DiskName"), QStringLiteral("Description"), QStringLiteral("Unknown"),
    QStringLiteral("FileName"), QStringLiteral("MP3_Title"),
};

}  // namespace

TEST(StreamedExport, ACatalogFileIsExportedWithTheBytesAndCellsOfItsDocument) {
    const std::vector<std::string> texts = AllCatalogTexts();
    const size_t firstPlain = texts.size() - PlainCatalogTexts().size();
    TExportFixture f;
    f.Columns(kColumns);
    const QDir streamedFolder(f.PathOf(QStringLiteral("streamed")));
    for (const char* folder : {"doc", "streamed"}) {
        QDir(f.dir.path()).mkpath(QLatin1String(folder));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("catalog " + std::to_string(i) + ": " + texts[i].substr(0, 100));
        const QString catalog = WriteFile(f.dir.path(), QStringLiteral("in/%1/Disk.xml").arg(i),
                                          QByteArray::fromStdString(texts[i]));
        for (const TKind kind : {TKind::Xml, TKind::Workbook}) {
            SCOPED_TRACE(kind == TKind::Xml ? "xml" : "workbook");
            const bool xml = kind == TKind::Xml;
            const QString name =
                QStringLiteral("%1.%2").arg(i).arg(QLatin1String(xml ? "xml" : "xlsx"));
            f.info.Document = &f.document;
            const TExported expected = ExportOf(kind, f.Answer(QStringLiteral("doc/") + name), [&] {
                f.document.reset();
                return f.info.OpenCatalogFile(catalog) &&
                       (xml ? f.info.ExportXml(QStringLiteral("Disk"))
                            : f.info.ExportExcel(QStringLiteral("Disk")));
            });
            f.prompt.fileAnswers.clear();  // not taken when opening failed

            f.info.Document = nullptr;  // the streamed exports need none
            const QString out = f.Answer(QStringLiteral("streamed/") + name);
            const size_t questions = f.prompt.fileQuestions.size();
            f.progress.texts.clear();
            const TExported streamed = ExportOf(kind, out, [&] {
                return xml ? f.info.ExportCatalogXml(catalog, QStringLiteral("Disk"))
                           : f.info.ExportCatalogExcel(catalog, QStringLiteral("Disk"));
            });
            f.prompt.fileAnswers.clear();
            EXPECT_EQ(streamed, expected);
            if (!expected.error.isEmpty()) {
                // A broken catalog leaves no file and no temporary file; the workbook reads it
                // before the question, which then is never asked.
                EXPECT_TRUE(streamedFolder.entryList(QDir::Files | QDir::Hidden).isEmpty());
                EXPECT_EQ(f.prompt.fileQuestions.size(), questions + (xml ? 1 : 0));
            } else if (i >= firstPlain) {
                // Plain catalogs are never parsed into a document: the workbook's first reading
                // is its only loading.
                EXPECT_EQ(f.progress.texts.count(QStringLiteral("Loading info..")), xml ? 0 : 1);
            }
            QFile::remove(out);
        }

        // Checking a catalog fails exactly where opening it fails, with the same message.
        QString opening;
        try {
            TCatalogTree tree;
            f.info.OpenCatalogTree(catalog, tree);
        } catch (const TCatalogFileError& error) {
            opening = error.Message();
        }
        QString checking;
        try {
            f.info.CheckCatalogFile(catalog);
        } catch (const TCatalogFileError& error) {
            checking = error.Message();
        }
        EXPECT_EQ(checking, opening);
    }
}

TEST(StreamedExport, TheCopyIsTheSameReadInAnyPieces) {
    const std::vector<std::string> texts = AllCatalogTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("catalog " + std::to_string(i) + ": " + texts[i].substr(0, 100));
        const auto copy = [&](TCatalogStream& stream) -> std::optional<QByteArray> {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            TCatalogWriter writer(buffer);
            if (!CopyStreamedCatalog(stream, writer)) {
                return std::nullopt;
            }
            return buffer.data();
        };
        TCatalogStream whole;
        whole.SetText(texts[i]);
        const std::optional<QByteArray> expected = copy(whole);
        QTemporaryDir dir;
        const QString path =
            WriteFile(dir.path(), QStringLiteral("Disk.xml"), QByteArray::fromStdString(texts[i]));
        for (const size_t piece : {1, 7, 4096}) {
            if (piece < 4096 && texts[i].size() > (size_t{1} << 18)) {
                continue;  // byte by byte only where it stays quick
            }
            TCatalogStream stream(piece);
            EXPECT_EQ(stream.Load(path) ? copy(stream) : std::nullopt, expected) << piece;
        }
    }
}

TEST(StreamedExport, ATreeIsExportedWithTheBytesAndCellsOfTreeToDocument) {
    TExportFixture f;
    f.Columns(kColumns);
    for (const char* folder : {"doc", "tree"}) {
        QDir(f.dir.path()).mkpath(QLatin1String(folder));
    }
    std::vector<std::unique_ptr<TCatalogTree>> trees;
    FillHostileTree(*trees.emplace_back(std::make_unique<TCatalogTree>()));
    FillSmallCatalog(*trees.emplace_back(std::make_unique<TCatalogTree>()));
    trees.emplace_back(std::make_unique<TCatalogTree>());  // an empty view
    const std::vector<std::string> texts = AllCatalogTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
        const QString catalog = WriteFile(f.dir.path(), QStringLiteral("in/%1/Disk.xml").arg(i),
                                          QByteArray::fromStdString(texts[i]));
        auto tree = std::make_unique<TCatalogTree>();
        try {
            f.info.OpenCatalogTree(catalog, *tree);
            trees.push_back(std::move(tree));
        } catch (const TCatalogFileError&) {
        }
    }
    for (size_t t = 0; t < trees.size(); ++t) {
        SCOPED_TRACE("tree " + std::to_string(t));
        const TCatalogTree& tree = *trees[t];
        for (const TKind kind : {TKind::Xml, TKind::Workbook}) {
            const QString name = QStringLiteral("%1.%2").arg(t).arg(
                QLatin1String(kind == TKind::Xml ? "xml" : "xlsx"));
            const QString documentOut = f.Answer(QStringLiteral("doc/") + name);
            f.info.Document = &f.document;
            const TExported expected = ExportOf(kind, documentOut, [&] {
                f.info.NewDocument();
                f.info.TreeToDocument(tree);
                return kind == TKind::Xml ? f.info.ExportXml({}) : f.info.ExportExcel({});
            });
            ASSERT_TRUE(expected.error.isEmpty()) << expected.error.toStdString();
            const QString treeOut = f.Answer(QStringLiteral("tree/") + name);
            f.info.Document = nullptr;  // the tree exports need none
            EXPECT_EQ(ExportOf(kind, treeOut,
                               [&] {
                                   return kind == TKind::Xml ? f.info.ExportXml({}, tree)
                                                             : f.info.ExportExcel({}, tree);
                               }),
                      expected);
        }
    }
}

TEST(StreamedExport, TooManyRowsAreRefusedBeforeAnyQuestion) {
    TExportFixture f;
    std::string text = "<fileinfo>";
    for (uint64_t i = 0; i < 1048575; ++i) {
        text += "<file/>";
    }
    const QString catalog = WriteFile(f.dir.path(), QStringLiteral("Big.xml"),
                                      QByteArray::fromStdString(text + "</fileinfo>"));
    TCatalogTree tree;
    for (uint64_t i = 0; i < 1048575; ++i) {
        tree.AppendChild();
    }
    f.Answer(QStringLiteral("big.xlsx"));
    EXPECT_FALSE(f.info.ExportCatalogExcel(catalog, {}));
    EXPECT_FALSE(f.info.ExportExcel({}, tree));
    EXPECT_TRUE(f.prompt.fileQuestions.empty());
    EXPECT_EQ(f.prompt.messages, QStringList(2, kRowCountOutOfRange));
    EXPECT_EQ(f.prompt.titles, QStringList(2, kWarningTitle));
    EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Big.xml")});
}
