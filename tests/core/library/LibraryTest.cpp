#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "core/catalog/FileItem.h"
#include "core/library/Library.h"
#include "support/RawNames.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

std::string Text(const TCatalogNode* node, int field) {
    return std::string(node->Item().Field(field));
}

// The node whose FileName is `name` below `parent`, or nullptr.
TCatalogNode* ChildNamed(TCatalogNode* parent, const std::string& name) {
    for (TCatalogNode* child = parent->FirstChild(); child; child = child->NextSibling()) {
        if (Text(child, FileName) == name) {
            return child;
        }
    }
    return nullptr;
}

class LibraryStore : public ::testing::Test {
protected:
    void SetUp() override {
        melodrix::testing::UseEnglishLocale();
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("CatalogLibrary"));
    }
    QTemporaryDir dir;
    QString library;
    TCatalogTree tree;
};

}  // namespace

TEST_F(LibraryStore, DefaultLibraryIsCreatedOnlyWhenMissing) {
    CreateDefaultLibrary(library);
    QStringList groups = QDir(library).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(groups, (QStringList{QStringLiteral("Book"), QStringLiteral("DVD"),
                                   QStringLiteral("Document"), QStringLiteral("Movie"),
                                   QStringLiteral("Mp3")}));

    // An existing library, even an emptied one, is left alone.
    for (const QString& group : groups) {
        QDir(library).rmdir(group);
    }
    CreateDefaultLibrary(library);
    EXPECT_TRUE(QDir(library).isEmpty());
}

TEST_F(LibraryStore, EmptyLibraryIsTheRootAlone) {
    QDir().mkpath(library);
    FillLibraryTree(tree, library, false);
    ASSERT_EQ(tree.NodeCount(), 1u);
    const TCatalogNode* root = tree.GetFirst();
    EXPECT_EQ(Text(root, FileName), "CatalogLibrary");
    EXPECT_EQ(Text(root, FullPath), library.toStdString());
    EXPECT_EQ(Text(root, FileType), "directory");
    EXPECT_EQ(Text(root, FileSize), "0");
    EXPECT_EQ(Text(root, SizePercentage), "100");
    EXPECT_EQ(Text(root, FileTime), "");

    // A missing library reads the same way, without an error.
    FillLibraryTree(tree, dir.filePath(QStringLiteral("missing")), false);
    EXPECT_EQ(tree.NodeCount(), 1u);
}

TEST_F(LibraryStore, GroupsAndCatalogsWithSumsAndShares) {
    WriteFile(library, QStringLiteral("Rock/a.xml"), QByteArray(1000, 'x'));
    WriteFile(library, QStringLiteral("Rock/my.best.xml"), QByteArray(3000, 'x'));
    WriteFile(library, QStringLiteral("Rock/Old/notes.txt"), QByteArray());
    QDir().mkpath(library + QStringLiteral("/Empty"));
    FillLibraryTree(tree, library, false);

    TCatalogNode* root = tree.GetFirst();
    EXPECT_EQ(Text(root, FileSize), "4000");
    TCatalogNode* rock = ChildNamed(root, "Rock");
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(Text(rock, FileType), "directory");
    EXPECT_EQ(Text(rock, FileSize), "4000");
    EXPECT_EQ(Text(rock, SizePercentage), "100.00");
    EXPECT_EQ(Text(rock, FullPath), (library + QStringLiteral("/Rock")).toStdString());
    EXPECT_FALSE(Text(rock, FileTime).empty());
    EXPECT_EQ(Text(rock, DiskName), "");

    TCatalogNode* a = ChildNamed(rock, "a");
    TCatalogNode* best = ChildNamed(rock, "my");
    ASSERT_TRUE(a && best);
    EXPECT_EQ(Text(a, FileType), "file");
    EXPECT_EQ(Text(a, SizePercentage), "25.00");
    EXPECT_EQ(Text(best, SizePercentage), "75.00");
    EXPECT_EQ(Text(best, DiskName), "my");
    EXPECT_EQ(Text(best, FullPath), (library + QStringLiteral("/Rock/my.best.xml")).toStdString());

    TCatalogNode* old = ChildNamed(rock, "Old");
    ASSERT_NE(old, nullptr);
    ASSERT_NE(ChildNamed(old, "notes"), nullptr);
    EXPECT_EQ(Text(old, FileSize), "0");
    EXPECT_EQ(Text(old, SizePercentage), "0.00");
    EXPECT_EQ(Text(ChildNamed(root, "Empty"), FileSize), "0");
}

TEST_F(LibraryStore, GroupsOnlyLeavesCatalogsOutAndSharesEmpty) {
    WriteFile(library, QStringLiteral("Rock/a.xml"), QByteArray(1000, 'x'));
    WriteFile(library, QStringLiteral("Rock/Old/b.xml"), QByteArray(10, 'x'));
    FillLibraryTree(tree, library, true);
    EXPECT_EQ(tree.NodeCount(), 3u);
    TCatalogNode* root = tree.GetFirst();
    EXPECT_EQ(Text(root, SizePercentage), "100");
    EXPECT_EQ(Text(root, FileSize), "0");
    TCatalogNode* rock = ChildNamed(root, "Rock");
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(Text(rock, FileSize), "0");
    EXPECT_EQ(Text(rock, SizePercentage), "");
    EXPECT_NE(ChildNamed(rock, "Old"), nullptr);
}

TEST_F(LibraryStore, LinkedDirectoriesAreShownButNotEntered) {
    WriteFile(library, QStringLiteral("Rock/a.xml"), QByteArray(10, 'x'));
    ASSERT_TRUE(QFile::link(library, library + QStringLiteral("/Rock/Loop")));
    FillLibraryTree(tree, library, false);
    TCatalogNode* loop = ChildNamed(ChildNamed(tree.GetFirst(), "Rock"), "Loop");
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(Text(loop, FileType), "directory");
    EXPECT_EQ(loop->ChildCount(), 0);
}

TEST_F(LibraryStore, SortingKeepsGroupsFirstInBothDirections) {
    WriteFile(library, QStringLiteral("big.xml"), QByteArray(5000, 'x'));
    WriteFile(library, QStringLiteral("small.xml"), QByteArray(10, 'x'));
    WriteFile(library, QStringLiteral("Light/a.xml"), QByteArray(100, 'x'));
    WriteFile(library, QStringLiteral("Heavy/a.xml"), QByteArray(2000, 'x'));
    FillLibraryTree(tree, library, false);
    TCatalogNode* root = tree.GetFirst();

    auto names = [&] {
        std::vector<std::string> result;
        for (TCatalogNode* c = root->FirstChild(); c; c = c->NextSibling()) {
            result.push_back(Text(c, FileName));
        }
        return result;
    };
    SortLibraryTree(tree, 2, false);
    EXPECT_EQ(names(), (std::vector<std::string>{"Heavy", "Light", "big", "small"}));
    SortLibraryTree(tree, 2, true);
    EXPECT_EQ(names(), (std::vector<std::string>{"Light", "Heavy", "small", "big"}));
    SortLibraryTree(tree, 0, true);
    EXPECT_EQ(names(), (std::vector<std::string>{"Heavy", "Light", "big", "small"}));

    TCatalogNode* heavy = ChildNamed(root, "Heavy");
    TCatalogNode* big = ChildNamed(root, "big");
    TCatalogNode* small = ChildNamed(root, "small");
    EXPECT_EQ(CompareLibraryNodes(heavy, big, 2), -1);
    EXPECT_EQ(CompareLibraryNodes(big, heavy, 2), 1);
    EXPECT_EQ(CompareLibraryNodes(big, small, 2), 1);
    EXPECT_EQ(CompareLibraryNodes(big, big, 2), -1);  // equal numbers never compare equal
    EXPECT_EQ(CompareLibraryNodes(big, small, 0), -1);
    EXPECT_EQ(CompareLibraryNodes(big, big, 7), 0);
}

TEST_F(LibraryStore, SharesRoundHalvesAwayFromZero) {
    WriteFile(library, QStringLiteral("one.xml"), QByteArray(1, 'x'));
    WriteFile(library, QStringLiteral("rest.xml"), QByteArray(799, 'x'));
    FillLibraryTree(tree, library, false);
    TCatalogNode* root = tree.GetFirst();
    ASSERT_NE(ChildNamed(root, "one"), nullptr);
    EXPECT_EQ(Text(ChildNamed(root, "one"), SizePercentage), "0.13");
    EXPECT_EQ(Text(ChildNamed(root, "rest"), SizePercentage), "99.88");
}

TEST_F(LibraryStore, NamesThatAreNotUtf8AreListedAndEntered) {
    using namespace melodrix::testing;
    QDir().mkpath(library);
    ASSERT_TRUE(MakeRawDirectory(RawPath(library, "Gr\xFCn")));
    ASSERT_TRUE(WriteRawFile(RawPath(library, "Gr\xFCn/Caf\xE9.xml"), std::string(10, 'x')));
    ASSERT_TRUE(MakeRawDirectory(RawPath(library, "Gr\xFCn/Sub")));
    ASSERT_TRUE(WriteRawFile(RawPath(library, "Gr\xFCn/Sub/a.xml"), std::string(30, 'x')));
    FillLibraryTree(tree, library, false);

    TCatalogNode* group = ChildNamed(tree.GetFirst(), "Gr\xC3\xBCn");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(Text(group, FullPath), (library + QString::fromUtf8("/Gr\xC3\xBCn")).toStdString());
    EXPECT_EQ(Text(group, FileSize), "40");
    EXPECT_FALSE(Text(group, FileTime).empty());
    TCatalogNode* cafe = ChildNamed(group, "Caf\xC3\xA9");
    ASSERT_NE(cafe, nullptr);
    EXPECT_EQ(Text(cafe, DiskName), "Caf\xC3\xA9");
    EXPECT_EQ(Text(cafe, FileSize), "10");
    EXPECT_EQ(Text(cafe, FullPath),
              (library + QString::fromUtf8("/Gr\xC3\xBCn/Caf\xC3\xA9.xml")).toStdString());
    ASSERT_NE(ChildNamed(group, "Sub"), nullptr);
    EXPECT_NE(ChildNamed(ChildNamed(group, "Sub"), "a"), nullptr);
    EXPECT_EQ(Text(tree.GetFirst(), FileSize), "40");
}
