#include <gtest/gtest.h>

#include <random>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sorting.h"
#include "core/catalog/ValueFunctions.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

struct TSortTest : ::testing::Test {
    void SetUp() override { UseEnglishLocale(); }

    TCatalogNode* Add(TCatalogNode* parent, std::string_view name, std::string_view type,
                      TField field = FileName, std::string_view value = {}) {
        TCatalogNode* node = tree.AppendChild(parent);
        node->Item().SetField(FileName, name);
        node->Item().SetField(FileType, type);
        if (field != FileName) {
            node->Item().SetField(field, value);
        }
        return node;
    }
    static std::vector<std::string> Names(const TCatalogNode* parent, const TCatalogTree& tree) {
        std::vector<std::string> names;
        const int count = parent ? parent->ChildCount() : tree.TopLevelCount();
        for (int row = 0; row < count; ++row) {
            const TCatalogNode* node = parent ? parent->Child(row) : tree.TopLevel(row);
            EXPECT_EQ(node->Row(), row);
            names.emplace_back(node->Item().Field(FileName));
        }
        return names;
    }
    std::vector<std::string> Names(const TCatalogNode* parent = nullptr) const {
        return Names(parent, tree);
    }

    TCatalogTree tree;
};

using TNames = std::vector<std::string>;

}  // namespace

TEST_F(TSortTest, FoldersComeFirstInBothDirectionsOnEveryLevel) {
    Add(nullptr, "b.mp3", "file");
    TCatalogNode* folder = Add(nullptr, "Z", "directory");
    Add(nullptr, "a.mp3", "file");
    Add(nullptr, "A", " directory\t");  // blanks around the type still make a folder
    Add(folder, "y", "file");
    Add(folder, "X", "directory");
    Add(folder, "x", "file");

    SortCatalogTree(tree, FileName, true);
    EXPECT_EQ(Names(), (TNames{"A", "Z", "a.mp3", "b.mp3"}));
    EXPECT_EQ(Names(folder), (TNames{"X", "x", "y"}));
    SortCatalogTree(tree, FileName, false);
    EXPECT_EQ(Names(), (TNames{"Z", "A", "b.mp3", "a.mp3"}));
    EXPECT_EQ(Names(folder), (TNames{"X", "y", "x"}));
}

TEST_F(TSortTest, NumbersOrderAsNumbersAndTiesKeepTheirOrder) {
    Add(nullptr, "ten", "file", FileSize, "10");
    Add(nullptr, "nine", "file", FileSize, "9");
    Add(nullptr, "junk", "file", FileSize, "abc");  // counts as 0
    Add(nullptr, "nine again", "file", FileSize, "9");
    Add(nullptr, "minus", "file", FileSize, "-1");
    Add(nullptr, "big", "file", FileSize, "1e3");
    Add(nullptr, "dir", "directory", FileSize, "1");

    SortCatalogTree(tree, FileSize, true);
    EXPECT_EQ(Names(), (TNames{"dir", "minus", "junk", "nine", "nine again", "ten", "big"}));
    SortCatalogTree(tree, FileSize, false);
    EXPECT_EQ(Names(), (TNames{"dir", "big", "ten", "nine", "nine again", "junk", "minus"}));
    SortCatalogTree(tree, SizePercentage, true);  // all empty: everything ties, nothing moves
    EXPECT_EQ(Names(), (TNames{"dir", "big", "ten", "nine", "nine again", "junk", "minus"}));
}

TEST_F(TSortTest, TrackNumbersByTheirNumberAndPlayingTimesAsNumbers) {
    Add(nullptr, "ten", "file", MP3_Track, "10/12");
    Add(nullptr, "two", "file", MP3_Track, "2");
    Add(nullptr, "none", "file", MP3_Track, "");
    Add(nullptr, "three", "file", MP3_Track, " 3/12");
    SortCatalogTree(tree, MP3_Track, true);
    EXPECT_EQ(Names(), (TNames{"none", "two", "three", "ten"}));

    tree.Clear();
    Add(nullptr, "long", "file", AudioDuration, "600000");
    Add(nullptr, "short", "file", AudioDuration, "95000");
    Add(nullptr, "shorter", "file", AudioDuration, "9500");
    SortCatalogTree(tree, AudioDuration, true);
    EXPECT_EQ(Names(), (TNames{"shorter", "short", "long"})) << "not as text";
    SortCatalogTree(tree, AudioBitrate, true);  // all empty: ties, nothing moves
    EXPECT_EQ(Names(), (TNames{"shorter", "short", "long"}));
}

TEST_F(TSortTest, EmptyDatesComeFirstAndUnreadableOnesLast) {
    const std::string early =
        DateTimeText(QDateTime(QDate(2001, 1, 2), QTime(3, 4, 5))).toStdString();
    const std::string late = DateTimeText(QDateTime(QDate(2019, 5, 6), QTime(0, 0))).toStdString();
    Add(nullptr, "late", "file", FileTime, late);
    Add(nullptr, "bad", "file", FileTime, "31/31/2020");
    Add(nullptr, "empty", "file", FileTime, "");
    Add(nullptr, "early", "file", FileTime, early);
    Add(nullptr, "empty too", "file", FileTime, "");

    SortCatalogTree(tree, FileTime, true);
    EXPECT_EQ(Names(), (TNames{"empty", "empty too", "early", "late", "bad"}));
    SortCatalogTree(tree, FileTime, false);
    EXPECT_EQ(Names(), (TNames{"bad", "late", "early", "empty", "empty too"}));
}

TEST_F(TSortTest, FileTypeDoesNotReorderAndTextFoldsAsciiCase) {
    Add(nullptr, "b", "file", FileExt, "mp3");
    Add(nullptr, "a", "file", FileExt, "JPG");
    Add(nullptr, "c", "", FileExt, "Mp3");
    SortCatalogTree(tree, FileType, true);
    EXPECT_EQ(Names(), (TNames{"b", "a", "c"}));
    SortCatalogTree(tree, FileExt, true);
    EXPECT_EQ(Names(), (TNames{"a", "b", "c"}));
}

TEST_F(TSortTest, AgreesWithTheComparisonFunctionsWhereverTheyAreConsistent) {
    // Random siblings with awkward values; every pair that the raw comparison orders the
    // same way from both sides must come out in that order.
    std::mt19937 random(7);
    const std::vector<std::string> times = {
        "", "garbage", DateTimeText(QDateTime(QDate(2020, 1, 1), QTime(10, 0))).toStdString(),
        DateTimeText(QDateTime(QDate(2020, 1, 1), QTime(10, 0, 1))).toStdString(),
        DateTimeText(QDateTime(QDate(1970, 6, 1), QTime(0, 0))).toStdString()};
    const std::vector<std::string> numbers = {"", "x", "0", "-2", "1.5", "10", "9", "1e2"};
    const std::vector<std::string> types = {"file", "directory", "", " directory"};
    for (int i = 0; i < 60; ++i) {
        TCatalogNode* node = tree.AppendChild(nullptr);
        node->Item().SetField(FileName, std::to_string(i));
        node->Item().SetField(FileType, types[random() % types.size()]);
        node->Item().SetField(FileTime, times[random() % times.size()]);
        node->Item().SetField(FileSize, numbers[random() % numbers.size()]);
    }
    auto isFolder = [](const TFileItem& item) {
        return item.Field(FileType).find("directory") != std::string_view::npos;
    };
    auto raw = [](const TFileItem& a, const TFileItem& b, int field) {
        return field == FileTime ? CompareDateTimeText(a.Field(FileTime), b.Field(FileTime))
                                 : CompareNumberText(a.Field(FileSize), b.Field(FileSize));
    };
    for (const int field : {int(FileTime), int(FileSize)}) {
        for (const bool ascending : {true, false}) {
            SortCatalogTree(tree, field, ascending);
            for (int i = 0; i < tree.TopLevelCount(); ++i) {
                for (int j = i + 1; j < tree.TopLevelCount(); ++j) {
                    const TFileItem& a = tree.TopLevel(i)->Item();
                    const TFileItem& b = tree.TopLevel(j)->Item();
                    const std::string where = std::string(FieldNames[field]) +
                                              (ascending ? " up: " : " down: ") +
                                              std::string(a.Field(FileName)) + " before " +
                                              std::string(b.Field(FileName));
                    if (isFolder(a) != isFolder(b)) {
                        EXPECT_TRUE(isFolder(a)) << where;
                        continue;
                    }
                    const int ab = raw(a, b, field);
                    if (ab != 0 && ab == -raw(b, a, field)) {
                        EXPECT_EQ(ab, ascending ? -1 : 1) << where;
                    }
                }
            }
        }
    }
}
