#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <pugixml.hpp>
#include <string>

#include "core/engine/FileInfo.h"
#include "support/HostileCatalogs.h"
#include "support/RawNames.h"
#include "support/ScriptedSinks.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::TRecordingProgress;
using melodrix::testing::WriteFile;

namespace {

// A catalog file text: one root folder holding the given items (name, ext, description).
QByteArray Catalog(const std::vector<std::array<const char*, 3>>& items) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"x\">"
        "<file FileName=\"/music\" FullPath=\"/music\" FileType=\"directory\" DiskName=\"stored\">";
    for (const auto& [name, ext, description] : items) {
        text += "<file FileName=\"";
        text += name;
        text += "\" FullPath=\"/music/";
        text += name;
        text += "\" FileType=\"file\"";
        if (*ext) {
            text += " FileExt=\"";
            text += ext;
            text += "\"";
        }
        if (*description) {
            text += " Description=\"";
            text += description;
            text += "\"";
        }
        text += "/>";
    }
    return text + "</file></fileinfo>";
}

class CatalogSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        engine.Document = &document;
    }

    // Searches and returns the FileName of every hit, in order.
    std::vector<std::string> Find(const QString& scopePath, TSearchScope scope, const char* name,
                                  const char* ext = "", const char* description = "",
                                  bool caseSensitive = false, bool wholeWords = false) {
        TFileItem conditions;
        conditions.SetField(FullPath, scopePath.toStdString());
        conditions.SetField(FileName, name);
        conditions.SetField(FileExt, ext);
        conditions.SetField(Description, description);
        skipped = engine.Search(scope, result, conditions, caseSensitive, wholeWords);
        std::vector<std::string> names;
        for (TCatalogNode* node = result.GetFirst(); node; node = result.GetNext(node)) {
            EXPECT_EQ(node->Parent(), nullptr);  // hits are flat
            names.emplace_back(node->Item().Field(FileName));
        }
        return names;
    }

    using Names = std::vector<std::string>;
    QTemporaryDir dir;
    pugi::xml_document document;
    TRecordingProgress progress;
    TFileInfo engine{progress};
    TCatalogTree result;
    QStringList skipped;
};

}  // namespace

TEST_F(CatalogSearch, NameMatchingFollowsCaseAndWholeWordRules) {
    const QString file = WriteFile(dir.path(), QStringLiteral("Rock.xml"),
                                   Catalog({{"Rock.mp3", "mp3", ""},
                                            {"Hard Rock", "", ""},
                                            {"ROCK", "", ""},
                                            {"rock.mp3", "mp3", ""},
                                            {"Hardrock", "", ""},
                                            {"Song.MP3", "MP3", ""},
                                            {"my song.mp3", "mp3", ""}}));
    const auto scope = TSearchScope::Catalog;
    EXPECT_EQ(Find(file, scope, "rock"),
              (Names{"Rock.mp3", "Hard Rock", "ROCK", "rock.mp3", "Hardrock"}));
    EXPECT_EQ(Find(file, scope, "rock", "", "", true), (Names{"rock.mp3", "Hardrock"}));
    EXPECT_EQ(Find(file, scope, "song.mp3", "", "", false, true), (Names{"Song.MP3"}));
    EXPECT_EQ(Find(file, scope, "song.mp3", "", "", true, true), (Names{}));
    EXPECT_EQ(Find(file, scope, "Song.MP3", "", "", true, true), (Names{"Song.MP3"}));
    // The root item, whose name is the scanned folder, can match too.
    EXPECT_EQ(Find(file, scope, "/MUS"), (Names{"/music"}));
}

TEST_F(CatalogSearch, ExtensionAndDescriptionConditions) {
    const QString file = WriteFile(dir.path(), QStringLiteral("Mix.xml"),
                                   Catalog({{"a.mp3", "mp3", "live at home"},
                                            {"b.Mp3", "Mp3", ""},
                                            {"c.MP3", "MP3", "studio"},
                                            {"take two", "", "LIVE"},
                                            {"bonus", "", "live"},
                                            {"x  y", "", ""}}));
    const auto scope = TSearchScope::Catalog;
    EXPECT_EQ(Find(file, scope, "", "mp3"), (Names{"a.mp3", "b.Mp3", "c.MP3"}));
    EXPECT_EQ(Find(file, scope, "", ".mp3"), (Names{}));
    // Conditions combine; an item without a description never matches a description.
    EXPECT_EQ(Find(file, scope, "a", "", "live"), (Names{"a.mp3", "take two"}));
    // Blanks are used as typed.
    EXPECT_EQ(Find(file, scope, "  ", "", ""), (Names{"x  y"}));
    EXPECT_EQ(Find(file, scope, "", "", "live", false, true), (Names{"take two", "bonus"}));
}

TEST_F(CatalogSearch, HitsCarryStoredFieldsAndTheCatalogsDiskName) {
    const QString file =
        WriteFile(dir.path(), QStringLiteral("Best.Of.xml"),
                  "<fileinfo><file FileName=\"root\"><file FileName=\"deep\" FullPath=\"/r/deep\" "
                  "Unknown=\"x\"><file FileName=\"deeper\" MP3_Title=\"T &amp; U\"/></file></file>"
                  "<!-- note --></fileinfo>");
    EXPECT_EQ(Find(file, TSearchScope::Catalog, "dee"), (Names{"deep", "deeper"}));
    const TFileItem& deep = result.GetFirst()->Item();
    EXPECT_EQ(deep.Field(FullPath), "/r/deep");
    EXPECT_EQ(deep.Field(DiskName), "Best");
    EXPECT_EQ(deep.Field(FileType), "");  // no defaults are applied
    EXPECT_EQ(result.TopLevel(1)->Item().Field(MP3_Title), "T & U");
    // The engine's document holds the catalog searched last, as after opening it.
    EXPECT_EQ(engine.CatalogFileName, file);
    EXPECT_STREQ(document.document_element().first_child().attribute("FileName").value(), "root");
}

TEST_F(CatalogSearch, GroupScopeWalksSubGroupsAndSkipsFilesThatAreNotCatalogs) {
    const QString library = dir.filePath(QStringLiteral("lib"));
    WriteFile(library, QStringLiteral("One.xml"), Catalog({{"one song", "", ""}}));
    WriteFile(library, QStringLiteral("Sub/Two.xml"), Catalog({{"two song", "", ""}}));
    WriteFile(library, QStringLiteral("Sub/notes.txt"), "just some text");
    WriteFile(library, QStringLiteral("Sub/Broken.xml"), "<fileinfo><file FileName=\"song\">");
    WriteFile(library, QStringLiteral("Sub/Deeper/Three.data"), Catalog({{"three song", "", ""}}));

    Names hits = Find(library, TSearchScope::Group, "song");
    std::sort(hits.begin(), hits.end());
    EXPECT_EQ(hits, (Names{"one song", "three song", "two song"}));
    skipped.sort();
    EXPECT_EQ(skipped, (QStringList{library + QStringLiteral("/Sub/Broken.xml"),
                                    library + QStringLiteral("/Sub/notes.txt")}));
    for (TCatalogNode* node = result.GetFirst(); node; node = result.GetNext(node)) {
        const std::string name(node->Item().Field(FileName));
        EXPECT_EQ(node->Item().Field(DiskName), name == "one song"   ? "One"
                                                : name == "two song" ? "Two"
                                                                     : "Three");
    }
    // The window with Cancel stays up for the whole search; opening files does not touch it.
    EXPECT_EQ(progress.events.first(), QStringLiteral("show+cancel"));
    EXPECT_EQ(progress.showCount, 1);
    EXPECT_EQ(progress.hideCount, 1);
    EXPECT_FALSE(progress.visible);

    // A scope that does not exist gives no hits and no error.
    EXPECT_EQ(Find(dir.filePath(QStringLiteral("none")), TSearchScope::Group, "song"), Names{});
    EXPECT_EQ(Find(dir.filePath(QStringLiteral("none.xml")), TSearchScope::Catalog, "song"),
              Names{});
    EXPECT_TRUE(skipped.isEmpty());
}

TEST_F(CatalogSearch, CancelStopsTheWholeSearch) {
    const QString library = dir.filePath(QStringLiteral("lib"));
    std::vector<std::array<const char*, 3>> items(5000, {"song", "", ""});
    WriteFile(library, QStringLiteral("A/One.xml"), Catalog(items));
    WriteFile(library, QStringLiteral("B/Two.xml"), Catalog(items));
    progress.cancelAfterInputs = 1;
    const Names hits = Find(library, TSearchScope::Group, "song");
    EXPECT_LT(hits.size(), 10000u);
    EXPECT_TRUE(CancelRequested());
    EXPECT_FALSE(progress.visible);

    // A new search starts afresh.
    progress.cancelAfterInputs = -1;
    EXPECT_EQ(Find(library, TSearchScope::Group, "song").size(), 10000u);
}

TEST_F(CatalogSearch, CatalogsOfAFolderAreSearchedInListingOrder) {
    const QString library = dir.filePath(QStringLiteral("lib"));
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
        const QString file = QStringLiteral("%1.xml").arg(QLatin1String(name));
        if (std::string_view(name) == "c") {
            WriteFile(library, file, "<fileinfo><file FileName=\"c song\">");  // broken
        } else {
            WriteFile(library, file, Catalog({{(std::string(name) + " song").c_str(), "", ""}}));
        }
    }
    // The hits follow the order in which the folder lists its files, whatever that is.
    Names expected;
    std::string last;
    for (const auto& entry : std::filesystem::directory_iterator(library.toStdString())) {
        const std::string stem = entry.path().stem().string();
        if (stem != "c") {
            expected.push_back(stem + " song");
        }
        last = entry.path().string();
    }
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Find(library, TSearchScope::Group, "song"), expected);
        EXPECT_EQ(skipped, QStringList{library + QStringLiteral("/c.xml")});
        EXPECT_EQ(engine.CatalogFileName.toStdString(), last);
    }
}

// Catalogs of a group are read in one pass rather than through the XML document; whatever a
// file holds, the hits and the skipped files must be those of opening it.
TEST_F(CatalogSearch, GroupSearchReadsEveryCatalogAsTheDocumentDoes) {
    const std::vector<std::string> texts = melodrix::testing::HostileCatalogTexts();
    // Every hit with all its fields, and the files skipped.
    const auto searchOf = [&](const QString& scopePath, TSearchScope scope, const char* name) {
        TFileItem conditions;
        conditions.SetField(FullPath, scopePath.toStdString());
        conditions.SetField(FileName, name);
        skipped = engine.Search(scope, result, conditions, false, false);
        std::vector<std::vector<std::string>> hits;
        for (TCatalogNode* node = result.GetFirst(); node; node = result.GetNext(node)) {
            std::vector<std::string>& fields = hits.emplace_back();
            for (int field = 0; field < FieldCount; ++field) {
                fields.emplace_back(node->Item().Field(field));
            }
        }
        return std::pair{hits, skipped.size()};
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("catalog text " + std::to_string(i) + ": " + texts[i].substr(0, 120));
        const QString group = dir.filePath(QStringLiteral("g%1").arg(i));
        const QString file =
            WriteFile(group, QStringLiteral("Disk.xml"), QByteArray::fromStdString(texts[i]));
        for (const char* name : {"", "e", "first", "second", "&", "\xC3\xA9"}) {
            SCOPED_TRACE(std::string("name condition: ") + name);
            const auto opened = searchOf(file, TSearchScope::Catalog, name);
            document.reset();
            const auto grouped = searchOf(group, TSearchScope::Group, name);
            EXPECT_EQ(grouped, opened);
            // The last catalog searched is in the document, as after opening it.
            EXPECT_EQ(engine.CatalogFileName, file);
            if (opened.second == 0) {
                EXPECT_TRUE(document.document_element());
            }
        }
    }
}

TEST_F(CatalogSearch, CatalogsAndGroupsThatAreNotUtf8AreSearched) {
    using namespace melodrix::testing;
    const QString library = dir.filePath(QStringLiteral("lib"));
    ASSERT_TRUE(QDir().mkpath(library));
    ASSERT_TRUE(MakeRawDirectory(RawPath(library, "Gr\xFCn")));
    ASSERT_TRUE(WriteRawFile(RawPath(library, "Gr\xFCn/Caf\xE9.xml"),
                             Catalog({{"latin song", "", ""}}).toStdString()));
    // One the streamed reader leaves to the XML parser.
    ASSERT_TRUE(WriteRawFile(RawPath(library, "Gr\xFCn/\xE9t\xE9.xml"),
                             "<fileinfo><!-- c --><file FileName=\"summer song\"/></fileinfo>"));
    ASSERT_TRUE(WriteRawFile(RawPath(library, "Gr\xFCn/bad\xE9.xml"), "not a catalog"));

    Names hits = Find(library, TSearchScope::Group, "song");
    std::sort(hits.begin(), hits.end());
    EXPECT_EQ(hits, (Names{"latin song", "summer song"}));
    EXPECT_EQ(skipped, QStringList{library + QString::fromUtf8("/Gr\xC3\xBCn/bad\xC3\xA9.xml")});
    for (TCatalogNode* node = result.GetFirst(); node; node = result.GetNext(node)) {
        const std::string name(node->Item().Field(FileName));
        EXPECT_EQ(node->Item().Field(DiskName),
                  name == "latin song" ? "Caf\xC3\xA9" : "\xC3\xA9t\xC3\xA9");
    }

    // One catalog by the text of its path; the engine then holds it as after opening it.
    const QString cafe = library + QString::fromUtf8("/Gr\xC3\xBCn/Caf\xC3\xA9.xml");
    EXPECT_EQ(Find(cafe, TSearchScope::Catalog, "latin"), Names{"latin song"});
    EXPECT_EQ(engine.CatalogFileName, cafe);
    EXPECT_STREQ(
        document.document_element().first_child().first_child().attribute("FileName").value(),
        "latin song");
}
