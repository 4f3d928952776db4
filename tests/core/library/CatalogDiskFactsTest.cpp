#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/DiskFacts.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/library/Library.h"
#include "support/TempDir.h"

using namespace melodrix;

namespace {

TEST(CatalogDiskFacts, AreReadFromTheRootOfACatalogFileAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TCatalogTree tree;
    for (int i = 0; i < 3000; ++i) {
        tree.AppendChild(nullptr)->Item().SetField(FileName, "item " + std::to_string(i));
    }
    const QString plain = dir.filePath(QStringLiteral("plain.xml"));
    WriteCatalogTreeFile(plain, tree);
    EXPECT_FALSE(CatalogDiskFacts(plain).has_value());

    const TDiskFacts facts{64'000'000'000, 12'400'000'000, QStringLiteral("vfat"),
                           QStringLiteral("R&B <Mix>")};
    RecordDiskFacts(tree.Attributes(), facts);
    const QString disk = dir.filePath(QStringLiteral("disk.xml"));
    WriteCatalogTreeFile(disk, tree);
    EXPECT_EQ(CatalogDiskFacts(disk), facts);

    // Whatever else stands in the library reads as no disk.
    const QString other =
        melodrix::testing::WriteFile(dir.path(), QStringLiteral("notes.xml"),
                                     "<notes DiskTotalBytes=\"1\" DiskFreeBytes=\"1\"/>");
    EXPECT_FALSE(CatalogDiskFacts(other).has_value());
    EXPECT_FALSE(CatalogDiskFacts(dir.filePath(QStringLiteral("missing.xml"))).has_value());
}

}  // namespace
