// A hit of a search holds exactly the values opening its catalog gives the item.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/catalog/CatalogTree.h"
#include "core/engine/FileInfo.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

std::vector<std::string> FieldsOf(const TFileItem& item) {
    std::vector<std::string> fields;
    for (int field = 0; field < FieldCount; ++field) {
        fields.emplace_back(item.Field(field));
    }
    return fields;
}

}  // namespace

TEST(SearchValues, EveryHitHoldsTheValuesOfTheOpenedCatalog) {
    QTemporaryDir dir;
    const std::vector<std::string> texts{
        // Raw controls and invalid UTF-8, which the opened catalog holds mended.
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo><file FileName=\"top\">"
        "<file FileName=\"raw \x01\x1F hit\" Description=\"bad \xFF\xC3 bytes\"/></file>"
        "</fileinfo>",
        // The same, in a file the one-pass reader leaves to the parser.
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo><!-- c --><file FileName=\"top\">"
        "<file FileName=\"raw \x02 hit\" MP3_Title=\"&#1;x\"/></file></fileinfo>",
        // A top-level item without type or path, which opening makes a folder.
        "<fileinfo><file FileName=\"bare hit\"/></fileinfo>",
        "<fileinfo><!-- c --><file FileName=\"bare hit\"/></fileinfo>",
        // Another encoding, both ways.
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?><fileinfo><file FileName=\"top\">"
        "<file FileName=\"caf\xE9 hit \x80\"/></file></fileinfo>",
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?><fileinfo><?pi?><file FileName=\"top\">"
        "<file FileName=\"caf\xE9 hit \x80\"/></file></fileinfo>",
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("catalog text " + std::to_string(i));
        const QString group = dir.filePath(QStringLiteral("g%1/").arg(i));
        const QString path =
            WriteFile(group, QStringLiteral("Disk.xml"), QByteArray::fromStdString(texts[i]));

        TFileInfo opener;
        TCatalogTree opened;
        ASSERT_TRUE(opener.OpenCatalogTree(path, opened));
        std::vector<std::vector<std::string>> expected;
        ForEachNode(opened, [&](const TCatalogNode* node) {
            if (node->Item().Field(FileName).find("hit") != std::string_view::npos) {
                expected.push_back(FieldsOf(node->Item()));
            }
        });
        ASSERT_EQ(expected.size(), 1u);

        for (const TSearchScope scope : {TSearchScope::Group, TSearchScope::Catalog}) {
            pugi::xml_document document;
            TFileInfo engine;
            engine.Document = &document;
            TFileItem conditions;
            conditions.SetField(FullPath,
                                (scope == TSearchScope::Group ? group : path).toStdString());
            conditions.SetField(FileName, "hit");
            TCatalogTree result;
            engine.Search(scope, result, conditions, false, false);
            std::vector<std::vector<std::string>> hits;
            ForEachNode(result,
                        [&](const TCatalogNode* node) { hits.push_back(FieldsOf(node->Item())); });
            EXPECT_EQ(hits, expected) << (scope == TSearchScope::Group ? "group" : "catalog");
        }
    }
}
