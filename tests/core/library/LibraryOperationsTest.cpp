#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <optional>
#include <thread>

#include "core/base/Errors.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/engine/FileInfo.h"
#include "core/library/Library.h"
#include "core/library/LibraryOperations.h"
#include "support/RawNames.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

std::string Text(const TCatalogNode* node, int field) {
    return std::string(node->Item().Field(field));
}

TCatalogNode* Find(const TCatalogTree& tree, const std::string& name) {
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        if (Text(node, FileName) == name) {
            return node;
        }
    }
    return nullptr;
}

class LibraryOperations : public ::testing::Test {
protected:
    void SetUp() override {
        melodrix::testing::UseEnglishLocale();
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("CatalogLibrary"));
        WriteFile(library, QStringLiteral("Rock/mix.xml"), "<fileinfo/>");
        WriteFile(library, QStringLiteral("Rock/Old/a.xml"), "<fileinfo/>");
        WriteFile(library, QStringLiteral("Jazz/b.xml"), "<fileinfo/>");
        WriteFile(dir.path(), QStringLiteral("outside.xml"), "keep");
        FillLibraryTree(tree, library, false);
    }
    QString Path(const QString& relative) const { return library + QLatin1Char('/') + relative; }

    QTemporaryDir dir;
    QString library;
    TCatalogTree tree;
};

}  // namespace

TEST(LibraryNames, PathHelpersAndNameRules) {
    EXPECT_EQ(ParentDirectoryOf(QStringLiteral("/lib/Rock/a.xml")), QStringLiteral("/lib/Rock/"));
    EXPECT_EQ(ParentDirectoryOf(QStringLiteral("a.xml")), QString());

    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "/", ".hidden", "...", ".xml"}) {
        EXPECT_FALSE(ValidateEntryName(QString::fromUtf8(bad)).isEmpty()) << bad;
    }
    EXPECT_FALSE(
        ValidateEntryName(QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")).isEmpty());
    for (const char* good : {"Rock", "a.b", "x.", " spaced ", " .x", "Ärger"}) {
        EXPECT_TRUE(ValidateEntryName(QString::fromUtf8(good)).isEmpty()) << good;
    }
}

TEST_F(LibraryOperations, DraggingNeverLandsInItsOwnSubtree) {
    TCatalogNode* rock = Find(tree, "Rock");
    TCatalogNode* old = Find(tree, "Old");
    TCatalogNode* jazz = Find(tree, "Jazz");
    EXPECT_FALSE(IsOutsideDragged(rock, rock));
    EXPECT_FALSE(IsOutsideDragged(rock, old));
    EXPECT_TRUE(IsOutsideDragged(old, rock));
    EXPECT_TRUE(IsOutsideDragged(rock, jazz));
    EXPECT_TRUE(IsOutsideDragged(rock, tree.GetFirst()));
}

TEST_F(LibraryOperations, EntryExistsTellsFilesFromDirectories) {
    EXPECT_TRUE(EntryExists(Path(QStringLiteral("Rock")), true));
    EXPECT_FALSE(EntryExists(Path(QStringLiteral("Rock")), false));
    EXPECT_TRUE(EntryExists(Path(QStringLiteral("Rock/mix.xml")), false));
    EXPECT_FALSE(EntryExists(Path(QStringLiteral("Rock/mix.xml")), true));
    EXPECT_FALSE(EntryExists(Path(QStringLiteral("none")), false));
}

TEST_F(LibraryOperations, CreatingGroups) {
    EXPECT_TRUE(CreateGroupDirectory(library, Path(QStringLiteral("NewGroup"))).ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("NewGroup"))).isDir());

    const TLibraryResult again = CreateGroupDirectory(library, Path(QStringLiteral("NewGroup")));
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.error, QStringLiteral("A file with the name already exists!"));
    EXPECT_FALSE(CreateGroupDirectory(library, Path(QStringLiteral("Rock/mix.xml"))).ok);

    // Nothing is ever created outside the library or by a dangerous name.
    EXPECT_FALSE(CreateGroupDirectory(library, dir.filePath(QStringLiteral("Escape"))).ok);
    EXPECT_FALSE(CreateGroupDirectory(library, Path(QStringLiteral("../Escape2"))).ok);
    EXPECT_FALSE(CreateGroupDirectory(library, library).ok);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("Escape"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("Escape2"))));
}

TEST_F(LibraryOperations, RenamingACatalogKeepsTheExtension) {
    QFile::rename(Path(QStringLiteral("Rock/mix.xml")), Path(QStringLiteral("Rock/mix.old.txt")));
    FillLibraryTree(tree, library, false);
    TCatalogNode* mix = Find(tree, "mix");
    ASSERT_NE(mix, nullptr);

    ASSERT_TRUE(RenameLibraryEntry(tree, mix, library, QStringLiteral("party")).ok);
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("Rock/party.xml"))));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Rock/mix.old.txt"))));
    EXPECT_EQ(Text(mix, FileName), "party");
    EXPECT_EQ(Text(mix, DiskName), "party");
    EXPECT_EQ(Text(mix, FullPath), Path(QStringLiteral("Rock/party.xml")).toStdString());

    // Typing the same name again changes nothing and is no error.
    EXPECT_TRUE(RenameLibraryEntry(tree, mix, library, QStringLiteral("party")).ok);
}

TEST_F(LibraryOperations, RenamingAGroupRewritesThePathsBelowIt) {
    TCatalogNode* rock = Find(tree, "Rock");
    ASSERT_TRUE(RenameLibraryEntry(tree, rock, library, QStringLiteral("Metal")).ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Metal/Old/a.xml"))).isFile());
    EXPECT_EQ(Text(rock, FullPath), Path(QStringLiteral("Metal")).toStdString());
    EXPECT_EQ(Text(Find(tree, "Old"), FullPath), Path(QStringLiteral("Metal/Old")).toStdString());
    EXPECT_EQ(Text(Find(tree, "a"), FullPath),
              Path(QStringLiteral("Metal/Old/a.xml")).toStdString());
    // A descendant can be renamed at once through its rewritten path.
    EXPECT_TRUE(RenameLibraryEntry(tree, Find(tree, "a"), library, QStringLiteral("c")).ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Metal/Old/c.xml"))).isFile());
}

TEST_F(LibraryOperations, ACatalogIsRenamedMovedAndDeletedOnlyOnceItsWriterIsDone) {
    const QString catalog = Path(QStringLiteral("Rock/mix.xml"));
    for (const int operation : {0, 1, 2}) {
        WriteFile(library, QStringLiteral("Rock/mix.xml"), "<fileinfo/>");
        FillLibraryTree(tree, library, false);
        std::optional<TCatalogLock> writer(std::in_place, catalog, SilentProgress());
        std::atomic<bool> done = false;
        TLibraryResult result;
        std::thread librarian([&] {
            if (operation == 0) {
                result =
                    RenameLibraryEntry(tree, Find(tree, "mix"), library, QStringLiteral("renamed"));
            } else if (operation == 1) {
                result = MoveLibraryEntry(library, catalog, Path(QStringLiteral("Jazz")));
            } else {
                result = DeleteLibraryEntry(library, catalog, false);
            }
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_FALSE(done) << operation;
        EXPECT_TRUE(QFileInfo::exists(catalog)) << operation;
        writer.reset();
        librarian.join();
        EXPECT_TRUE(result.ok) << operation << " " << result.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(catalog)) << operation;
        // A writer that comes later finds the catalog gone and does not bring it back.
        TFileInfo engine;
        EXPECT_THROW(ChangeCatalogFile(engine.Progress(), catalog, [](TCatalogTree&, bool) {}),
                     TMelodrixError);
        EXPECT_FALSE(QFileInfo::exists(catalog)) << operation;
        QFile::remove(Path(QStringLiteral("Rock/renamed.xml")));
        QFile::remove(Path(QStringLiteral("Jazz/mix.xml")));
    }
}

TEST_F(LibraryOperations, RefusedRenamesChangeNothing) {
    TCatalogNode* rock = Find(tree, "Rock");
    const TLibraryResult taken = RenameLibraryEntry(tree, rock, library, QStringLiteral("Jazz"));
    EXPECT_EQ(taken.error, QStringLiteral("A file with the name already exists!"));
    for (const char* bad : {"", "..", "../../Escape", "a/b"}) {
        EXPECT_FALSE(RenameLibraryEntry(tree, rock, library, QString::fromUtf8(bad)).ok) << bad;
    }
    EXPECT_EQ(Text(rock, FileName), "Rock");
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Rock/mix.xml"))).isFile());
    // The library root itself is never renamed.
    EXPECT_FALSE(RenameLibraryEntry(tree, tree.GetFirst(), library, QStringLiteral("Other")).ok);
    EXPECT_TRUE(QFileInfo(library).isDir());
}

TEST_F(LibraryOperations, MovingIntoGroups) {
    // A catalog onto the root lands in the library directory.
    ASSERT_TRUE(MoveLibraryEntry(library, Path(QStringLiteral("Rock/mix.xml")), library).ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("mix.xml"))).isFile());
    // A group into another group takes its contents along.
    ASSERT_TRUE(
        MoveLibraryEntry(library, Path(QStringLiteral("Rock")), Path(QStringLiteral("Jazz"))).ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Jazz/Rock/Old/a.xml"))).isFile());
    // Into the group it is in already: nothing to do.
    EXPECT_TRUE(
        MoveLibraryEntry(library, Path(QStringLiteral("Jazz/b.xml")), Path(QStringLiteral("Jazz")))
            .ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Jazz/b.xml"))).isFile());
}

TEST_F(LibraryOperations, RefusedMovesLeaveEverythingInPlace) {
    WriteFile(library, QStringLiteral("Jazz/mix.xml"), "other");
    const TLibraryResult clash = MoveLibraryEntry(library, Path(QStringLiteral("Rock/mix.xml")),
                                                  Path(QStringLiteral("Jazz")));
    EXPECT_EQ(clash.error, QStringLiteral("A file with the name already exists!"));
    EXPECT_EQ(melodrix::testing::ReadFile(Path(QStringLiteral("Jazz/mix.xml"))), "other");
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Rock/mix.xml"))).isFile());

    EXPECT_FALSE(
        MoveLibraryEntry(library, Path(QStringLiteral("Rock")), Path(QStringLiteral("Rock/Old")))
            .ok);
    EXPECT_FALSE(
        MoveLibraryEntry(library, Path(QStringLiteral("Rock")), Path(QStringLiteral("Rock"))).ok);
    EXPECT_FALSE(
        MoveLibraryEntry(library, Path(QStringLiteral("Rock")), Path(QStringLiteral("Jazz/b.xml")))
            .ok);
    EXPECT_FALSE(MoveLibraryEntry(library, library, Path(QStringLiteral("Jazz"))).ok);
    EXPECT_FALSE(MoveLibraryEntry(library, Path(QStringLiteral("Rock")), dir.path()).ok);
    EXPECT_FALSE(
        MoveLibraryEntry(library, dir.filePath(QStringLiteral("outside.xml")), library).ok);
    // A linked group that leads out of the library is no way out either.
    ASSERT_TRUE(QFile::link(dir.path(), Path(QStringLiteral("Exit"))));
    EXPECT_FALSE(
        MoveLibraryEntry(library, Path(QStringLiteral("Rock")), Path(QStringLiteral("Exit"))).ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Rock/Old/a.xml"))).isFile());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("outside.xml"))).isFile());
}

TEST_F(LibraryOperations, DeletingGroupsAndCatalogs) {
    // Read-only entries and read-only folders go too; a link is removed, not followed.
    WriteFile(library, QStringLiteral("Rock/Old/.hidden"), "x");
    ::chmod(QFile::encodeName(Path(QStringLiteral("Rock/mix.xml"))).constData(), 0444);
    ASSERT_TRUE(QFile::link(dir.path(), Path(QStringLiteral("Rock/Old/out"))));
    ::chmod(QFile::encodeName(Path(QStringLiteral("Rock/Old"))).constData(), 0555);
    const TLibraryResult result = DeleteLibraryEntry(library, Path(QStringLiteral("Rock")), true);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Rock"))));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("outside.xml"))).isFile());

    EXPECT_TRUE(DeleteLibraryEntry(library, Path(QStringLiteral("Jazz/b.xml")), false).ok);
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Jazz/b.xml"))));
    const TLibraryResult missing =
        DeleteLibraryEntry(library, Path(QStringLiteral("Jazz/b.xml")), false);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.error.contains(QStringLiteral("b.xml")));

    // Never the library itself, nothing outside it, no group through the file command.
    EXPECT_FALSE(DeleteLibraryEntry(library, library, true).ok);
    EXPECT_FALSE(DeleteLibraryEntry(library, Path(QStringLiteral("..")), true).ok);
    EXPECT_FALSE(
        DeleteLibraryEntry(library, dir.filePath(QStringLiteral("outside.xml")), false).ok);
    EXPECT_FALSE(DeleteLibraryEntry(library, Path(QStringLiteral("Jazz")), false).ok);
    EXPECT_TRUE(QFileInfo(library).isDir());
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Jazz"))).isDir());
}

TEST_F(LibraryOperations, DeletingReportsTheFirstFailure) {
    const TLibraryResult notDir = DeleteDirectoryTree(Path(QStringLiteral("Jazz/b.xml")));
    EXPECT_FALSE(notDir.ok);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Jazz/b.xml"))).isFile());
    const TLibraryResult gone = DeleteDirectoryTree(Path(QStringLiteral("Nowhere")));
    EXPECT_FALSE(gone.ok);
    EXPECT_FALSE(gone.error.isEmpty());
}

TEST_F(LibraryOperations, ALinkedGroupIsDeletedAsTheLinkOnly) {
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    WriteFile(target, QStringLiteral("keep.xml"), "keep");
    ASSERT_TRUE(QFile::link(target, Path(QStringLiteral("Linked"))));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("Jazz/b.xml")), Path(QStringLiteral("b2.xml"))));
    FillLibraryTree(tree, library, false);
    ASSERT_NE(Find(tree, "Linked"), nullptr);
    ASSERT_TRUE(Find(tree, "Linked")->Item().IsDirectory());

    const TLibraryResult result = DeleteLibraryEntry(library, Path(QStringLiteral("Linked")), true);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(QFileInfo(Path(QStringLiteral("Linked"))).isSymLink());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("elsewhere/keep.xml"))).isFile());
    // A linked catalog too.
    EXPECT_TRUE(DeleteLibraryEntry(library, Path(QStringLiteral("b2.xml")), false).ok);
    EXPECT_FALSE(QFileInfo(Path(QStringLiteral("b2.xml"))).isSymLink());
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Jazz/b.xml"))).isFile());
}

class LibraryNativeNames : public LibraryOperations {
protected:
    void SetUp() override {
        LibraryOperations::SetUp();
        using namespace melodrix::testing;
        ASSERT_TRUE(MakeRawDirectory(RawPath(library, "Gr\xFCn")));
        ASSERT_TRUE(WriteRawFile(RawPath(library, "Gr\xFCn/Caf\xE9.xml"), "<fileinfo/>"));
        ASSERT_TRUE(WriteRawFile(RawPath(library, "Jazz/\xE9t\xE9.xml"), "<fileinfo/>"));
        FillLibraryTree(tree, library, false);
    }
    static QString Utf8(const char* text) { return QString::fromUtf8(text); }
    bool Raw(std::string_view relative) const {
        return melodrix::testing::RawExists(melodrix::testing::RawPath(library, relative));
    }
};

TEST_F(LibraryNativeNames, RenamingKeepsTheBytesOfTheFoldersOnTheWay) {
    TCatalogNode* cafe = Find(tree, "Caf\xC3\xA9");
    ASSERT_NE(cafe, nullptr);
    ASSERT_TRUE(RenameLibraryEntry(tree, cafe, library, QStringLiteral("Bar")).ok);
    EXPECT_TRUE(Raw("Gr\xFCn/Bar.xml"));
    EXPECT_FALSE(Raw("Gr\xFCn/Caf\xE9.xml"));
    EXPECT_EQ(Text(cafe, FullPath), Path(Utf8("Gr\xC3\xBCn/Bar.xml")).toStdString());

    TCatalogNode* group = Find(tree, "Gr\xC3\xBCn");
    ASSERT_TRUE(RenameLibraryEntry(tree, group, library, QStringLiteral("Green")).ok);
    EXPECT_TRUE(Raw("Green/Bar.xml"));
    EXPECT_FALSE(Raw("Gr\xFCn"));
    // The rewritten path below the group leads to the file.
    EXPECT_TRUE(RenameLibraryEntry(tree, cafe, library, QStringLiteral("Tea")).ok);
    EXPECT_TRUE(Raw("Green/Tea.xml"));

    // A name that reads the same as a name in another encoding is taken.
    TCatalogNode* b = Find(tree, "b");
    const TLibraryResult taken = RenameLibraryEntry(tree, b, library, Utf8("\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(taken.error, kNameExistsMessage);
    EXPECT_TRUE(Raw("Jazz/b.xml"));
}

TEST_F(LibraryNativeNames, MovingKeepsTheNameBytes) {
    ASSERT_TRUE(MoveLibraryEntry(library, Path(Utf8("Gr\xC3\xBCn/Caf\xC3\xA9.xml")),
                                 Path(QStringLiteral("Jazz")))
                    .ok);
    EXPECT_TRUE(Raw("Jazz/Caf\xE9.xml"));
    EXPECT_FALSE(Raw("Gr\xFCn/Caf\xE9.xml"));
    ASSERT_TRUE(
        MoveLibraryEntry(library, Path(Utf8("Gr\xC3\xBCn")), Path(QStringLiteral("Rock"))).ok);
    EXPECT_TRUE(Raw("Rock/Gr\xFCn"));
    ASSERT_TRUE(MoveLibraryEntry(library, Path(QStringLiteral("Jazz/b.xml")),
                                 Path(Utf8("Rock/Gr\xC3\xBCn")))
                    .ok);
    EXPECT_TRUE(Raw("Rock/Gr\xFCn/b.xml"));
    // Into itself is refused by its text as well.
    EXPECT_FALSE(
        MoveLibraryEntry(library, Path(Utf8("Rock/Gr\xC3\xBCn")), Path(Utf8("Rock/Gr\xC3\xBCn")))
            .ok);
    EXPECT_TRUE(EntryExists(Path(Utf8("Rock/Gr\xC3\xBCn")), true));
    EXPECT_TRUE(EntryExists(Path(Utf8("Rock/Gr\xC3\xBCn/b.xml")), false));
}

TEST_F(LibraryNativeNames, DeletingGroupsAndCatalogsByTheirText) {
    EXPECT_TRUE(DeleteLibraryEntry(library, Path(Utf8("Jazz/\xC3\xA9t\xC3\xA9.xml")), false).ok);
    EXPECT_FALSE(Raw("Jazz/\xE9t\xE9.xml"));
    EXPECT_TRUE(Raw("Jazz/b.xml"));
    const TLibraryResult result = DeleteLibraryEntry(library, Path(Utf8("Gr\xC3\xBCn")), true);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(Raw("Gr\xFCn"));
}

TEST_F(LibraryNativeNames, NamesThatReadTheSameAreLeftAlone) {
    using namespace melodrix::testing;
    ASSERT_TRUE(WriteRawFile(RawPath(library, "Gr\xFCn/Caf\xC3\xA9.xml"), "<fileinfo/>"));
    const QString cafe = Path(Utf8("Gr\xC3\xBCn/Caf\xC3\xA9.xml"));
    EXPECT_FALSE(DeleteLibraryEntry(library, cafe, false).ok);
    EXPECT_FALSE(MoveLibraryEntry(library, cafe, library).ok);
    FillLibraryTree(tree, library, false);
    TCatalogNode* node = Find(tree, "Caf\xC3\xA9");
    ASSERT_NE(node, nullptr);
    const TLibraryResult renamed = RenameLibraryEntry(tree, node, library, QStringLiteral("x"));
    EXPECT_FALSE(renamed.ok);
    EXPECT_TRUE(renamed.error.contains(QStringLiteral("another encoding")));
    EXPECT_TRUE(Raw("Gr\xFCn/Caf\xE9.xml"));
    EXPECT_TRUE(Raw("Gr\xFCn/Caf\xC3\xA9.xml"));
}
