#include <gtest/gtest.h>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/FileItem.h"

#include <array>
#include <string>

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

TEST(FileItem, TextsOfEveryLengthKeepTheirNeighbours) {
    // Lengths around the one-byte limit of the stored lengths, and one far beyond it.
    const std::array<size_t, 6> lengths = {254, 255, 256, 0, 70000, 1};
    std::array<std::string, FieldCount> values;
    std::array<std::string_view, FieldCount> texts{};
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = std::string(lengths[i % lengths.size()], static_cast<char>('a' + i));
        texts[i] = values[i];
    }
    TFileItem item;
    item.SetAllFields(texts);
    for (int i = 0; i < FieldCount; ++i) {
        EXPECT_EQ(item.Field(i), values[static_cast<size_t>(i)]) << "field " << i;
    }
    EXPECT_EQ(item.AllFields(), texts);

    // One long text becomes short, a short one long, a NUL grows one: the rest stay.
    item.SetField(FileTime, "now");
    item.SetField(FileName, std::string(300, 'z'));
    item.SetField(MP3_Genre, std::string_view("x\0y", 3));
    values[FileTime] = "now";
    values[FileName] = std::string(300, 'z');
    values[MP3_Genre] = "x\xEF\xBF\xBDy";
    for (int i = 0; i < FieldCount; ++i) {
        EXPECT_EQ(item.Field(i), values[static_cast<size_t>(i)]) << "field " << i;
    }
    const TFileItem copy(item);
    EXPECT_TRUE(copy == item);
    EXPECT_EQ(copy.HeapBytes(), item.HeapBytes());

    // Texts the caller knows to be free of NUL are stored the same way.
    TFileItem trusted;
    std::array<std::string_view, FieldCount> same{};
    for (size_t i = 0; i < values.size(); ++i) {
        same[i] = values[i];
    }
    trusted.SetAllFieldsWithoutNul(same);
    EXPECT_TRUE(trusted == item);
}

TEST(FileItem, OnlyATextOfTheSameLengthIsWrittenInPlace) {
    TFileItem item;
    item.SetField(FileName, std::string(300, 'n'));  // its length follows the head
    item.SetField(SizePercentage, "0.00");
    item.SetField(DiskName, "disk");
    const size_t heap = item.HeapBytes();
    EXPECT_TRUE(item.OverwriteField(SizePercentage, "1.25"));
    EXPECT_FALSE(item.OverwriteField(SizePercentage, "12.50"));
    EXPECT_FALSE(item.OverwriteField(SizePercentage, std::string_view("1\0.5", 4)));
    EXPECT_FALSE(item.OverwriteField(Description, "x"));
    EXPECT_TRUE(item.OverwriteField(Description, ""));
    EXPECT_EQ(item.Field(SizePercentage), "1.25");
    EXPECT_EQ(item.Field(FileName), std::string(300, 'n'));
    EXPECT_EQ(item.Field(DiskName), "disk");
    EXPECT_TRUE(item.Field(Description).empty());
    EXPECT_EQ(item.HeapBytes(), heap);

    TFileItem empty;
    EXPECT_TRUE(empty.OverwriteField(FileName, ""));
    EXPECT_FALSE(empty.OverwriteField(FileName, "a"));
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(FileItem, FieldIndexOfIsExactAndFallsBackToFileName) {
    EXPECT_EQ(FieldIndexOf("FileName"), 0);
    EXPECT_EQ(FieldIndexOf("MP3_Genre"), 16);
    EXPECT_EQ(FieldIndexOf("DiskName"), 10);
    EXPECT_EQ(FieldIndexOf("Filename"), 0);
    EXPECT_EQ(FieldIndexOf(""), 0);
    EXPECT_EQ(FindFieldIndex("Filename"), -1);
    ASSERT_EQ(FieldNames.size(), 27u);
    EXPECT_EQ(FieldNames[9], "SizePercentage");
    // The fields added after the first 17 keep those numbers as they were.
    EXPECT_EQ(FieldIndexOf("MP3_Track"), 17);
    EXPECT_EQ(FieldIndexOf("AudioDuration"), 20);
    EXPECT_EQ(FieldIndexOf("AudioMode"), 25);
    EXPECT_EQ(FieldIndexOf("ID3Mismatch"), 26);
}
