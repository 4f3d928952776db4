#include <gtest/gtest.h>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/FileItem.h"

using namespace melodrix;

TEST(FileItem, FieldsStartEmptyAndHoldTheirTexts) {
    TFileItem item;
    EXPECT_TRUE(item.IsEmpty());
    for (int i = 0; i < FieldCount; ++i) {
        EXPECT_TRUE(item.Field(i).empty());
    }
    item.SetField(FullPath, "/music/a.mp3");
    item.SetField(MP3_Genre, "Rock");
    item.SetField(FileName, "a.mp3");
    EXPECT_EQ(item.Field(FileName), "a.mp3");
    EXPECT_EQ(item.Field(FullPath), "/music/a.mp3");
    EXPECT_EQ(item.Field(MP3_Genre), "Rock");
    EXPECT_TRUE(item.Field(FileSize).empty());
    item.SetField(FullPath, "");
    EXPECT_TRUE(item.Field(FullPath).empty());
    EXPECT_EQ(item.Field(MP3_Genre), "Rock");
    ClearFileItem(item);
    EXPECT_TRUE(item.IsEmpty());
    EXPECT_TRUE(item.Field(FileName).empty());
}

TEST(FileItem, SettingAFieldFromItsOwnTextIsSafe) {
    TFileItem item;
    item.SetField(FileName, "Live");
    item.SetField(FullPath, item.Field(FileName));
    EXPECT_EQ(item.Field(FullPath), "Live");
}

TEST(FileItem, NulInsideAValueCannotCutIt) {
    TFileItem item;
    item.SetField(Description, std::string_view("a\0b", 3));
    item.SetField(MP3_Title, "t");
    EXPECT_EQ(item.Field(Description),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(item.Field(MP3_Title), "t");
}

TEST(FileItem, FieldIndexOfIsExactAndFallsBackToFileName) {
    EXPECT_EQ(FieldIndexOf("FileName"), 0);
    EXPECT_EQ(FieldIndexOf("MP3_Genre"), 16);
    EXPECT_EQ(FieldIndexOf("DiskName"), 10);
    EXPECT_EQ(FieldIndexOf("Filename"), 0);
    EXPECT_EQ(FieldIndexOf(""), 0);
    EXPECT_EQ(FindFieldIndex("Filename"), -1);
    ASSERT_EQ(FieldNames.size(), 17u);
    EXPECT_EQ(FieldNames[9], "SizePercentage");
}
