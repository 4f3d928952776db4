// Opening and saving a catalog without a document must give what the document path gives:
// the same tree, the same errors, the same bytes.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/catalog/CatalogTree.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/engine/FileInfo.h"
#include "support/HostileCatalogs.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

using TItems = std::vector<std::vector<std::string>>;

// Every item of the tree with its depth and all its fields, in pre-order.
TItems ItemsOf(const TCatalogTree& tree) {
    TItems items;
    ForEachNode(tree, [&](const TCatalogNode* node) {
        std::vector<std::string>& fields = items.emplace_back();
        fields.push_back(std::to_string(node->Depth()));
        for (int field = 0; field < FieldCount; ++field) {
            fields.emplace_back(node->Item().Field(field));
        }
    });
    return items;
}

// What opening gives: the items, or the error message.
struct TOpened {
    TItems items;
    QString error;
    bool operator==(const TOpened&) const = default;
};

TOpened OpenThroughDocument(const QString& path) {
    pugi::xml_document document;
    TFileInfo engine;
    engine.Document = &document;
    TCatalogTree tree;
    try {
        engine.OpenCatalogFile(path);
        engine.DocumentToTree(tree);
    } catch (const TCatalogFileError& error) {
        return {{}, error.Message()};
    }
    return {ItemsOf(tree), {}};
}

TOpened OpenStreamed(const QString& path) {
    TFileInfo engine;  // no document at all
    TCatalogTree tree;
    try {
        engine.OpenCatalogTree(path, tree);
    } catch (const TCatalogFileError& error) {
        return {{}, error.Message()};
    }
    return {ItemsOf(tree), {}};
}

// Saves through the document writer, as every save did before the tree was written directly.
QByteArray SavedThroughDocument(const TCatalogTree& tree, const QString& path) {
    pugi::xml_document document;
    TFileInfo engine;
    engine.Document = &document;
    engine.NewDocument();
    engine.TreeToDocument(tree);
    engine.SaveCatalogFile(path);
    return ReadFile(path);
}

QByteArray SavedStreamed(const TCatalogTree& tree, const QString& path) {
    TFileInfo engine;
    EXPECT_TRUE(engine.SaveCatalogTree(tree, path));
    return ReadFile(path);
}

// A catalog of more than two megabytes whose elements and values fall across the reader's pieces at
// every offset: nested folders, values of every length with entities, character references,
// blanks and text beyond ASCII, and one value longer than a piece.
std::string LargeCatalogText(size_t padding) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + std::string(padding, ' ') +
                       "<fileinfo generated=\"big\">";
    const std::vector<std::string> pieces = {
        "a",  "&amp;",    "\xC3\xA9", "&#233;",       "&#x1;",
        "\t", "&lt;&gt;", "b c",      "\xE2\x82\xAC", "&quot;"};
    for (int folder = 0; text.size() < (size_t{9} << 18); ++folder) {
        text += "<folder FileName=\"f" + std::to_string(folder) + "\" FileType=\"directory\">";
        for (int file = 0; file < 40; ++file) {
            std::string value;
            for (int k = 0; k < (folder * 7 + file) % 23; ++k) {
                value += pieces[static_cast<size_t>(folder + file + k) % pieces.size()];
            }
            text += "<file FileName=\"" + value + "\"   FullPath = '" + std::to_string(file) +
                    "' Description=\"" + std::string(static_cast<size_t>(file), 'x') + "\"/>";
        }
        if (folder == 60) {
            text += "<file FileName=\"" + std::string((size_t{3} << 20) / 2, 'y') + "&amp;\"/>";
        }
        text += "</folder>";
    }
    return text + "</fileinfo>\n";
}

// What the one-pass reader reads: depth, then each attribute's name and value, and the root's
// attributes last. Nothing when it gave up and left the file to the full parser.
std::optional<std::vector<std::string>> ReadElements(TCatalogStream& stream) {
    std::vector<std::string> elements;
    std::string scratch;
    while (stream.NextItem()) {
        std::string& element = elements.emplace_back(std::to_string(stream.Depth()));
        for (const TCatalogStream::TAttribute& attribute : stream.Attributes()) {
            element += "|" + std::string(attribute.name) + "=" +
                       std::string(TCatalogStream::Decode(attribute, scratch).value_or("?"));
        }
    }
    if (stream.Unusual()) {
        return std::nullopt;
    }
    std::string& root = elements.emplace_back("root");
    for (const TCatalogStream::TAttribute& attribute : stream.RootAttributes()) {
        root += "|" + std::string(attribute.name) + "=" + std::string(attribute.rawValue);
    }
    return elements;
}

std::optional<std::vector<std::string>> StreamedElements(const QString& path, size_t pieceBytes) {
    TCatalogStream stream(pieceBytes);
    return stream.Load(path) ? ReadElements(stream) : std::nullopt;
}

std::vector<std::string> ParsedElements(const std::string& text) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_buffer(text.data(), text.size()));
    std::vector<std::string> elements;
    const auto walk = [&](auto&& self, const pugi::xml_node& parent, int depth) -> void {
        for (const pugi::xml_node& node : parent.children()) {
            std::string& element = elements.emplace_back(std::to_string(depth));
            for (const pugi::xml_attribute& attribute : node.attributes()) {
                element += "|" + std::string(attribute.name()) + "=" + attribute.value();
            }
            self(self, node, depth + 1);
        }
    };
    walk(walk, document.document_element(), 0);
    std::string& root = elements.emplace_back("root");
    for (const pugi::xml_attribute& attribute : document.document_element().attributes()) {
        root += "|" + std::string(attribute.name()) + "=" + attribute.value();
    }
    return elements;
}

}  // namespace

TEST(StreamedCatalog, OpeningGivesTheTreeAndTheErrorsOfTheDocumentPathReadInAnyPieces) {
    QTemporaryDir dir;
    const std::vector<std::string> texts = HostileCatalogTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("catalog text " + std::to_string(i) + ": " + texts[i].substr(0, 100));
        const QString path = WriteFile(dir.path(), QStringLiteral("g%1/Disk.xml").arg(i),
                                       QByteArray::fromStdString(texts[i]));
        const TOpened expected = OpenThroughDocument(path);
        EXPECT_EQ(OpenStreamed(path), expected);

        // Read from the file in tiny pieces, cut at every place, the one-pass reader reads what
        // it reads from the whole text.
        TCatalogStream whole;
        whole.SetText(texts[i]);
        const auto wholeElements = ReadElements(whole);
        for (const size_t piece : {1, 2, 3, 5, 8, 64}) {
            SCOPED_TRACE("pieces of " + std::to_string(piece));
            EXPECT_EQ(StreamedElements(path, piece), wholeElements);
        }
    }
    const TOpened missing = OpenStreamed(dir.filePath(QStringLiteral("missing.xml")));
    EXPECT_EQ(missing, OpenThroughDocument(dir.filePath(QStringLiteral("missing.xml"))));
    EXPECT_TRUE(missing.error.contains(QStringLiteral("cannot be read")));
}

TEST(StreamedCatalog, AFileThatCannotBeOpenedLeavesTheTreeAsItWas) {
    QTemporaryDir dir;
    const QString good = WriteFile(dir.path(), QStringLiteral("Good.xml"),
                                   "<fileinfo><file FileName=\"kept\"/></fileinfo>");
    const QString bad = WriteFile(dir.path(), QStringLiteral("Bad.xml"),
                                  "<fileinfo><file FileName=\"lost\"/><file FileName=\"x\">");
    TFileInfo engine;
    TCatalogTree tree;
    ASSERT_TRUE(engine.OpenCatalogTree(good, tree));
    EXPECT_THROW(engine.OpenCatalogTree(bad, tree), TCatalogFileError);
    ASSERT_EQ(tree.NodeCount(), 1u);
    EXPECT_EQ(tree.GetFirst()->Item().Field(FileName), "kept");
    EXPECT_EQ(engine.CatalogFileName, bad) << "named even when reading fails, as before";
}

TEST(StreamedCatalog, ACatalogIsReadInTheEncodingItsDeclarationNames) {
    QTemporaryDir dir;
    const auto open = [&](const QString& name, const QByteArray& encoding,
                          const QByteArray& fileName) {
        const QString path = WriteFile(dir.path(), name,
                                       "<?xml version=\"1.0\" encoding=\"" + encoding +
                                           "\" standalone=\"yes\"?><fileinfo><file FileName=\"" +
                                           fileName + "\"/></fileinfo>");
        return std::pair{path, OpenStreamed(path)};
    };
    const auto [cp1252, western] = open(QStringLiteral("W.xml"), "windows-1252", "\x80 Caf\xE9");
    ASSERT_EQ(western.items.size(), 1u) << western.error.toStdString();
    EXPECT_EQ(western.items[0][1 + FileName], "\xE2\x82\xAC Caf\xC3\xA9");  // "€ Café"
    const auto [latin9, euro] = open(QStringLiteral("L.xml"), "ISO-8859-15", "\xA4\xBD");
    ASSERT_EQ(euro.items.size(), 1u) << euro.error.toStdString();
    EXPECT_EQ(euro.items[0][1 + FileName], "\xE2\x82\xAC\xC5\x93");  // "€œ"
    EXPECT_EQ(OpenThroughDocument(cp1252), western);
    EXPECT_EQ(OpenThroughDocument(latin9), euro);

    // An encoding that cannot be decoded is refused by name, never guessed at.
    const auto [unknownPath, unknown] = open(QStringLiteral("U.xml"), "x-mystery-8", "a");
    EXPECT_TRUE(unknown.items.empty());
    EXPECT_EQ(unknown.error, QStringLiteral("Cannot open catalog %1: its encoding "
                                            "\"x-mystery-8\" cannot be read")
                                 .arg(unknownPath));
    EXPECT_EQ(OpenThroughDocument(unknownPath), unknown);
    const auto [widePath, wide] = open(QStringLiteral("S.xml"), "UTF-16", "a");
    EXPECT_TRUE(wide.error.contains(QStringLiteral("\"UTF-16\" cannot be read")));

    // Saved again, the catalog is UTF-8 with a UTF-8 declaration.
    TFileInfo engine;
    TCatalogTree tree;
    ASSERT_TRUE(engine.OpenCatalogTree(cp1252, tree));
    ASSERT_TRUE(engine.SaveCatalogTree(tree, cp1252));
    const QByteArray saved = ReadFile(cp1252);
    EXPECT_TRUE(saved.startsWith(
        R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?><fileinfo generated="Vellumdex">)"));
    EXPECT_TRUE(saved.contains("FileName=\"\xE2\x82\xAC Caf\xC3\xA9\"")) << saved.toStdString();
}

TEST(StreamedCatalog, SavingWritesTheBytesOfTheDocumentWriter) {
    QTemporaryDir dir;
    std::vector<std::string> values;
    std::string everyByte;
    for (int c = 1; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    values.push_back(everyByte);
    values.push_back("&amp; &lt; < > \" ' &#233; &#x0;");
    values.push_back("bad \xFF\xC3 \xED\xA0\x80 \xEF\xBF\xBE \xF4\x90\x80\x80 \xC0\x80");
    values.push_back("tab\tlf\ncr\rend");
    values.push_back(std::string("nul\0inside", 10));

    TCatalogTree tree;
    TCatalogNode* parent = nullptr;
    for (int level = 0; level < 5000; ++level) {
        parent = tree.AppendChild(parent);
        parent->Item().SetField(FileName, "level " + std::to_string(level));
        if (level % 1000 == 0) {
            // Siblings at some levels, so that closing tags interleave with open ones.
            tree.AppendChild(parent->Parent())->Item().SetField(FullPath, "sibling");
        }
    }
    TCatalogNode* hostile = tree.AppendChild(nullptr);
    for (size_t i = 0; i < values.size(); ++i) {
        TCatalogNode* node = tree.AppendChild(hostile);
        for (int field = 0; field < FieldCount; ++field) {
            node->Item().SetField(field, values[(i + static_cast<size_t>(field)) % values.size()]);
        }
    }
    tree.AppendChild(hostile);  // an item without a single text

    const QByteArray expected = SavedThroughDocument(tree, dir.filePath(QStringLiteral("a.xml")));
    const QByteArray streamed = SavedStreamed(tree, dir.filePath(QStringLiteral("b.xml")));
    EXPECT_GT(streamed.size(), 100000);
    EXPECT_TRUE(streamed == expected)
        << "the first difference is at byte "
        << std::mismatch(streamed.begin(), streamed.end(), expected.begin(), expected.end()).first -
               streamed.begin();

    TCatalogTree empty;
    EXPECT_EQ(SavedStreamed(empty, dir.filePath(QStringLiteral("c.xml"))),
              SavedThroughDocument(empty, dir.filePath(QStringLiteral("d.xml"))));

    // Every hostile catalog, opened and saved again, gives the same bytes both ways.
    const std::vector<std::string> texts = HostileCatalogTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
        const QString path = WriteFile(dir.path(), QStringLiteral("h%1.xml").arg(i),
                                       QByteArray::fromStdString(texts[i]));
        TFileInfo engine;
        TCatalogTree opened;
        try {
            engine.OpenCatalogTree(path, opened);
        } catch (const TCatalogFileError&) {
            continue;
        }
        SCOPED_TRACE("catalog text " + std::to_string(i));
        EXPECT_EQ(SavedStreamed(opened, dir.filePath(QStringLiteral("s.xml"))),
                  SavedThroughDocument(opened, dir.filePath(QStringLiteral("t.xml"))));
    }
}

TEST(StreamedCatalog, TakeContentsMovesTheNodesAndSendsOneReset) {
    struct TCounter : ITreeObserver {
        int resets = 0;
        void TreeReset() override { ++resets; }
    } counter;
    TCatalogTree target;
    target.AppendChild()->Item().SetField(FileName, "old");
    target.AddObserver(&counter);
    TCatalogTree source;
    TCatalogNode* top = source.AppendChild();
    top->Item().SetField(FileName, "new");
    source.AppendChild(top)->Item().SetField(FileName, "child");
    target.TakeContents(source);
    EXPECT_EQ(counter.resets, 1);
    EXPECT_TRUE(source.IsEmpty());
    ASSERT_EQ(target.NodeCount(), 2u);
    EXPECT_EQ(target.GetFirst(), top);
    EXPECT_EQ(top->Parent(), nullptr);
    EXPECT_EQ(target.GetNext(top)->Parent(), top);
    target.RemoveObserver(&counter);
}

TEST(StreamedCatalog, AFileLargerThanOneReadIsReadInPiecesAsTheParserReadsIt) {
    QTemporaryDir dir;
    // Each padding moves every element to other offsets against the pieces.
    for (const size_t padding : {0, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144}) {
        SCOPED_TRACE("padding " + std::to_string(padding));
        const std::string text = LargeCatalogText(padding);
        const QString path =
            WriteFile(dir.path(), QStringLiteral("Big.xml"), QByteArray::fromStdString(text));
        const auto streamed = StreamedElements(path, TCatalogStream::kPieceBytes);
        ASSERT_TRUE(streamed) << "the one-pass reader gave up on a plain catalog";
        EXPECT_EQ(*streamed, ParsedElements(text));
    }

    // A NUL, a stray character outside the root or a cut tag far beyond the first piece still
    // leaves the file to the full parser, and opening it still gives what that path gives.
    const std::string text = LargeCatalogText(0);
    const std::string root = "</fileinfo>";
    for (const std::string& broken :
         {text.substr(0, text.size() / 2) + '\0' + text.substr(text.size() / 2),
          text.substr(0, text.size() - 1) + "x", text.substr(0, text.size() - root.size() - 3)}) {
        const QString path =
            WriteFile(dir.path(), QStringLiteral("Broken.xml"), QByteArray::fromStdString(broken));
        EXPECT_FALSE(StreamedElements(path, TCatalogStream::kPieceBytes));
        EXPECT_EQ(OpenStreamed(path), OpenThroughDocument(path));
    }
}

TEST(StreamedCatalog, ItemsComeInOrderAndAnErrorWhileTakingThemStopsTheReading) {
    QTemporaryDir dir;
    const std::string text = LargeCatalogText(0);
    const QString path =
        WriteFile(dir.path(), QStringLiteral("Big.xml"), QByteArray::fromStdString(text));

    // Every item, in document order, with the depth the parser gives it (folders by name, files
    // by their path, which holds nothing to decode).
    std::vector<std::string> taken;
    {
        TCatalogStream stream(4096);
        ASSERT_TRUE(stream.Load(path));
        EXPECT_TRUE(StreamCatalogItems(stream, "Disk", [&](const TItemTexts& texts, size_t depth) {
            taken.push_back(std::to_string(depth) + ' ' +
                            std::string(texts[depth == 0 ? FileName : FullPath]));
        }));
    }
    pugi::xml_document document;
    ASSERT_TRUE(document.load_buffer(text.data(), text.size()));
    std::vector<std::string> parsed;
    for (pugi::xml_node folder : document.document_element().children()) {
        parsed.push_back("0 " + std::string(folder.attribute("FileName").value()));
        for (pugi::xml_node file : folder.children()) {
            parsed.push_back("1 " + std::string(file.attribute("FullPath").value()));
        }
    }
    EXPECT_EQ(taken, parsed);

    // A failure while the items are taken (a full disk, a cancel) reaches the caller at once,
    // though the reading has gone on ahead; nothing waits for the rest of the file.
    size_t seen = 0;
    TCatalogStream stream(4096);
    ASSERT_TRUE(stream.Load(path));
    EXPECT_THROW(StreamCatalogItems(stream, "Disk",
                                    [&](const TItemTexts&, size_t) {
                                        if (++seen == 100) {
                                            throw TMelodrixError(QStringLiteral("stop"));
                                        }
                                    }),
                 TMelodrixError);
    EXPECT_EQ(seen, 100u);

    // A file that turns out to need the parser hands over the items read before that point.
    std::string broken = text;
    broken[broken.size() / 2] = '\0';
    const QString brokenPath =
        WriteFile(dir.path(), QStringLiteral("Broken.xml"), QByteArray::fromStdString(broken));
    TCatalogStream brokenStream;
    ASSERT_TRUE(brokenStream.Load(brokenPath));
    size_t before = 0;
    EXPECT_FALSE(
        StreamCatalogItems(brokenStream, "Disk", [&](const TItemTexts&, size_t) { ++before; }));
    EXPECT_GT(before, parsed.size() / 3);
    EXPECT_LT(before, parsed.size());
}
