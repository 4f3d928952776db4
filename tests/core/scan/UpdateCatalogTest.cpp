#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <pugixml.hpp>

#include "core/catalog/Errors.h"
#include "core/catalog/FileInfo.h"
#include "core/scan/UpdateCatalog.h"
#include "core/scan/UpdateRenames.h"
#include "core/tags/TagBuilders.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::tagbytes;
using melodrix::testing::ReadFile;
using melodrix::testing::WriteFile;

namespace {

const QString kMp3Mask = QStringLiteral("\\.MP3\\");

std::string Text(const TCatalogNode* node, int field) {
    return node ? std::string(node->Item().Field(field)) : std::string("<no node>");
}

QByteArray Mp3(const std::string& title, size_t audio = 300) {
    return QByteArray::fromStdString(AudioLike(audio) +
                                     ID3v1Record(title, "Artist", "Album", "1999", "", 17));
}

std::vector<std::string> PathsOf(const std::vector<TCatalogChange>& changes,
                                 const QString& folder) {
    std::vector<std::string> paths;
    for (const TCatalogChange& change : changes) {
        paths.push_back(change.FullPath.substr(folder.toUtf8().size()));
    }
    // The lists follow the scan, whose order is the file system's.
    std::sort(paths.begin(), paths.end());
    return paths;
}

class UpdateCatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        melodrix::testing::UseEnglishLocale();
        ASSERT_TRUE(dir.isValid());
        folder = dir.filePath(QStringLiteral("music"));
        QDir().mkpath(folder);
        catalog = dir.filePath(QStringLiteral("Rock.xml"));
        engine.Document = &document;
    }

    QString Add(const QString& relative, const QByteArray& bytes) {
        return WriteFile(folder, relative, bytes);
    }
    void MakeCatalog(const QString& mask = kMp3Mask, bool onlyFolders = false) {
        engine.ScanFolder(tree, folder, mask, onlyFolders, catalog);
        Save(tree);
    }
    void Save(const TCatalogTree& from) {
        engine.NewDocument();
        engine.TreeToDocument(from);
        engine.SaveCatalogFile(catalog);
    }
    void Open(TCatalogTree& into) {
        engine.OpenCatalogFile(catalog);
        engine.DocumentToTree(into);
    }
    // The node of `from` whose FullPath ends with `suffix`, or nullptr.
    static TCatalogNode* Node(const TCatalogTree& from, const std::string& suffix) {
        for (TCatalogNode* node = from.GetFirst(); node; node = from.GetNext(node)) {
            if (Text(node, FullPath).ends_with(suffix)) {
                return node;
            }
        }
        return nullptr;
    }
    void Describe(const std::string& suffix, const std::string& text) {
        TCatalogNode* node = Node(tree, suffix);
        ASSERT_NE(node, nullptr) << suffix;
        node->Item().SetField(Description, text);
    }

    QTemporaryDir dir;
    QString folder;
    QString catalog;
    pugi::xml_document document;
    TFileInfo engine;
    TCatalogTree tree;
};

}  // namespace

TEST_F(UpdateCatalogTest, ACatalogRemembersHowItWasMadeThroughSaveAndOpen) {
    Add(QStringLiteral("a/one.mp3"), Mp3("One"));
    MakeCatalog(QStringLiteral("\\.MP3\\.WAV\\"), true);
    const QByteArray saved = ReadFile(catalog);
    EXPECT_TRUE(
        saved.contains("<fileinfo generated=\"Vellumdex\" ScanMask=\"\\.MP3\\.WAV\\\" "
                       "OnlyFolders=\"true\" ScanFolder=\""))
        << saved.left(300).constData();

    TCatalogTree reopened;
    Open(reopened);
    EXPECT_EQ(reopened.Attributes().Value(kScanMaskAttribute), "\\.MP3\\.WAV\\");
    EXPECT_EQ(reopened.Attributes().Value(kOnlyFoldersAttribute), "true");
    EXPECT_EQ(StoredScanFolder(reopened), folder);
    // A save of the reopened catalog keeps them; attributes the catalog does not know are
    // not read.
    Save(reopened);
    EXPECT_EQ(ReadFile(catalog), saved);
    WriteFile(dir.path(), QStringLiteral("Odd.xml"),
              "<fileinfo generated=\"x\" Colour=\"blue\"><file FileName=\"r\"/></fileinfo>");
    engine.OpenCatalogFile(dir.filePath(QStringLiteral("Odd.xml")));
    engine.DocumentToTree(reopened);
    EXPECT_TRUE(reopened.Attributes().IsEmpty());
    EXPECT_EQ(StoredScanFolder(reopened), QStringLiteral("r"));
}

TEST_F(UpdateCatalogTest, AnUnchangedFolderReportsNothingAndKeepsDescriptions) {
    Add(QStringLiteral("a/one.mp3"), Mp3("One"));
    Add(QStringLiteral("a/b/two.mp3"), Mp3("Two"));
    MakeCatalog();
    Describe("/a/b/two.mp3", "live at home");
    Describe("/a", "the A folder");

    const TCatalogUpdate update = UpdateCatalog(engine, tree, catalog);
    EXPECT_FALSE(update.HasChanges());
    EXPECT_EQ(update.Folder, folder);
    EXPECT_EQ(update.Tree->NodeCount(), tree.NodeCount());
    EXPECT_EQ(Text(Node(*update.Tree, "/a/b/two.mp3"), Description), "live at home");
    EXPECT_EQ(Text(Node(*update.Tree, "/a"), Description), "the A folder");
    EXPECT_EQ(Text(Node(*update.Tree, "/a/b/two.mp3"), MP3_Title), "Two");
}

TEST_F(UpdateCatalogTest, AddedRemovedResizedAndRetaggedFilesAreReportedAndWrittenOnApply) {
    Add(QStringLiteral("keep.mp3"), Mp3("Keep"));
    const QString gone = Add(QStringLiteral("old/gone.mp3"), Mp3("Gone"));
    const QString plain = Add(QStringLiteral("plain.mp3"), Mp3("Plain"));
    const QString grows = Add(QStringLiteral("grows.mp3"), Mp3("Grows", 300));
    const QString retag = Add(QStringLiteral("retag.mp3"), Mp3("Before"));
    MakeCatalog();
    Describe("/old/gone.mp3", "first pressing");
    Describe("/grows.mp3", "longer now");
    Save(tree);
    const QByteArray before = ReadFile(catalog);

    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(QDir(folder).rmdir(QStringLiteral("old")));
    ASSERT_TRUE(QFile::remove(plain));
    Add(QStringLiteral("grows.mp3"), Mp3("Grows", 900));
    Add(QStringLiteral("retag.mp3"), Mp3("After"));
    Add(QStringLiteral("new/fresh.mp3"), Mp3("Fresh"));
    Add(QStringLiteral("new/notes.txt"), "not music");

    const TCatalogUpdate update = UpdateCatalog(engine, tree, catalog);
    EXPECT_EQ(PathsOf(update.Added, folder), (std::vector<std::string>{"/new", "/new/fresh.mp3"}));
    EXPECT_EQ(PathsOf(update.Removed, folder),
              (std::vector<std::string>{"/old", "/old/gone.mp3", "/plain.mp3"}));
    const auto dropped = update.DroppedDescriptions();
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0]->Description, "first pressing");
    EXPECT_EQ(dropped[0]->FullPath, (folder + QStringLiteral("/old/gone.mp3")).toStdString());

    ASSERT_EQ(update.Changed.size(), 2u);
    std::map<std::string, std::vector<TFieldChange>> changed;
    for (const TCatalogChange& change : update.Changed) {
        changed[change.FullPath.substr(folder.size())] = change.Fields;
    }
    ASSERT_EQ(changed["/grows.mp3"].size(), 1u);
    EXPECT_EQ(changed["/grows.mp3"][0].Field, FileSize);
    EXPECT_EQ(changed["/grows.mp3"][0].Before, "428");
    EXPECT_EQ(changed["/grows.mp3"][0].After, "1028");
    ASSERT_EQ(changed["/retag.mp3"].size(), 1u);
    EXPECT_EQ(changed["/retag.mp3"][0].Field, MP3_Title);
    EXPECT_EQ(changed["/retag.mp3"][0].After, "After");

    // Nothing is written until the update is applied.
    EXPECT_EQ(ReadFile(catalog), before);
    ApplyCatalogUpdate(engine, update, catalog);
    TCatalogTree reopened;
    Open(reopened);
    EXPECT_EQ(Node(reopened, "/plain.mp3"), nullptr);
    EXPECT_EQ(Text(Node(reopened, "/new/fresh.mp3"), MP3_Title), "Fresh");
    EXPECT_EQ(Text(Node(reopened, "/grows.mp3"), Description), "longer now");
    EXPECT_EQ(Text(Node(reopened, "/grows.mp3"), FileSize), "1028");
    EXPECT_EQ(reopened.Attributes().Value(kScanMaskAttribute), "\\.MP3\\");
}

TEST_F(UpdateCatalogTest, AFileRenamedOnDiskIsRemovedAndAddedAndItsDescriptionListedAsDropped) {
    const QString song = Add(QStringLiteral("song.mp3"), Mp3("Song"));
    MakeCatalog();
    Describe("/song.mp3", "favourite");
    ASSERT_TRUE(QFile::rename(song, folder + QStringLiteral("/song (1).mp3")));

    const TCatalogUpdate update = UpdateCatalog(engine, tree, catalog);
    EXPECT_EQ(PathsOf(update.Added, folder), std::vector<std::string>{"/song (1).mp3"});
    EXPECT_EQ(PathsOf(update.Removed, folder), std::vector<std::string>{"/song.mp3"});
    ASSERT_EQ(update.DroppedDescriptions().size(), 1u);
    EXPECT_EQ(update.DroppedDescriptions()[0]->Description, "favourite");
    EXPECT_TRUE(update.Changed.empty());
}

TEST_F(UpdateCatalogTest, NamesTheUserGaveSurviveASaveAndAnUpdate) {
    Add(QStringLiteral("a/x.mp3"), Mp3("X"));
    Add(QStringLiteral("a/y.mp3"), Mp3("Y"));
    MakeCatalog();
    // Renamed as the content view renames: first recorded, then the item changes. The
    // folder is renamed after the file inside it, and the top-level item as well.
    TCatalogNode* x = Node(tree, "/a/x.mp3");
    RecordRename(tree, *x, "Favourite");
    x->Item().SetField(FileName, "Favourite");
    TCatalogNode* a = Node(tree, "/a");
    RecordRename(tree, *a, "Best of");
    a->Item().SetField(FileName, "Best of");
    RecordRename(tree, *tree.GetFirst(), "My music");
    tree.GetFirst()->Item().SetField(FileName, "My music");
    EXPECT_EQ(ScannedPathOf(tree, *x), "a/x.mp3");
    Save(tree);

    TCatalogTree reopened;
    Open(reopened);
    Add(QStringLiteral("a/z.mp3"), Mp3("Z"));
    const TCatalogUpdate update = UpdateCatalog(engine, reopened, catalog);
    EXPECT_EQ(update.Folder, folder);
    ASSERT_EQ(update.Added.size(), 1u);
    EXPECT_EQ(update.Added[0].FullPath, "My music/Best of/z.mp3");
    EXPECT_TRUE(update.Removed.empty());

    const TCatalogTree& fresh = *update.Tree;
    const TCatalogNode* root = fresh.GetFirst();
    EXPECT_EQ(Text(root, FileName), "My music");
    EXPECT_EQ(Text(root, FullPath), "My music");
    const TCatalogNode* favourite = Node(fresh, "/Best of/Favourite");
    ASSERT_NE(favourite, nullptr);
    EXPECT_EQ(Text(favourite, FileName), "Favourite");
    EXPECT_EQ(Text(favourite, FileNameLength), "9");
    EXPECT_EQ(Text(favourite, PathNameLength), std::to_string(Text(favourite, FullPath).size()));
    EXPECT_EQ(Text(favourite, MP3_Title), "X");
    EXPECT_EQ(Text(Node(fresh, "/Best of"), FileName), "Best of");
    EXPECT_NE(Node(fresh, "My music/Best of/y.mp3"), nullptr);
    // The record goes on, so a second update finds the same items.
    const TCatalogUpdate again = UpdateCatalog(engine, fresh, catalog);
    EXPECT_FALSE(again.HasChanges());
    EXPECT_NE(Node(*again.Tree, "My music/Best of/Favourite"), nullptr);
}

TEST_F(UpdateCatalogTest, TheRenameRecordKeepsAnyNameAndForgetsARenameBack) {
    TRenameRecord record;
    record.Set("a|b/c=d%e", "new\tname|=%");
    record.Set("", "Top");
    const TRenameRecord read = TRenameRecord::Parse(record.Text());
    EXPECT_EQ(read.Entries(), record.Entries());
    EXPECT_EQ(record.Text().find('\t'), std::string::npos);

    Add(QStringLiteral("a/x.mp3"), Mp3("X"));
    MakeCatalog();
    TCatalogNode* x = Node(tree, "/a/x.mp3");
    RecordRename(tree, *x, "Other");
    x->Item().SetField(FileName, "Other");
    EXPECT_NE(tree.Attributes().Find(kRenamedItemsAttribute), nullptr);
    RecordRename(tree, *x, "x.mp3");
    EXPECT_EQ(tree.Attributes().Find(kRenamedItemsAttribute), nullptr);
}

TEST_F(UpdateCatalogTest, AMissingOrEmptyFolderIsRefusedAndChangesNothing) {
    Add(QStringLiteral("one.mp3"), Mp3("One"));
    MakeCatalog();
    const QByteArray before = ReadFile(catalog);
    const QString away = dir.filePath(QStringLiteral("unmounted"));
    ASSERT_TRUE(QDir().rename(folder, away));
    try {
        UpdateCatalog(engine, tree, catalog);
        ADD_FAILURE() << "a missing folder was scanned";
    } catch (const TMelodrixError& error) {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("does not exist")))
            << qPrintable(error.Message());
    }
    QDir().mkpath(folder);
    try {
        UpdateCatalog(engine, tree, catalog);
        ADD_FAILURE() << "an empty folder emptied the catalog";
    } catch (const TMelodrixError& error) {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("is empty")))
            << qPrintable(error.Message());
    }
    EXPECT_EQ(ReadFile(catalog), before);
    // An empty catalog of an empty folder is no risk.
    TCatalogTree empty;
    EXPECT_FALSE(UpdateCatalog(engine, empty, catalog, folder).HasChanges());
}

TEST_F(UpdateCatalogTest, TheScanIsMadeAsTheCatalogWasAndAnotherFolderMatchesByRelativePath) {
    Add(QStringLiteral("a/one.mp3"), Mp3("One"));
    Add(QStringLiteral("a/notes.txt"), "text");
    MakeCatalog(QString(), true);
    Describe("/a", "folders only");
    Add(QStringLiteral("b/two.mp3"), Mp3("Two"));
    TCatalogUpdate update = UpdateCatalog(engine, tree, catalog);
    EXPECT_EQ(PathsOf(update.Added, folder), std::vector<std::string>{"/b"});

    // A catalog that does not say how it was made: MP3 files, folders and files.
    tree.Attributes().Clear();
    Add(QStringLiteral("a/more.txt"), "text");
    update = UpdateCatalog(engine, tree, catalog);
    EXPECT_EQ(PathsOf(update.Added, folder),
              (std::vector<std::string>{"/a/one.mp3", "/b", "/b/two.mp3"}));
    EXPECT_EQ(update.Tree->Attributes().Value(kScanMaskAttribute), "\\.MP3\\");

    // The same disk mounted elsewhere.
    const QString elsewhere = dir.filePath(QStringLiteral("mnt"));
    ASSERT_TRUE(QDir().rename(folder, elsewhere));
    update = UpdateCatalog(engine, tree, catalog, elsewhere);
    EXPECT_EQ(update.Folder, elsewhere);
    EXPECT_EQ(Text(Node(*update.Tree, "mnt/a"), Description), "folders only");
    EXPECT_EQ(update.Removed.size(), 0u);
}

TEST_F(UpdateCatalogTest, AKillDuringTheApplyLeavesTheOldCatalogWhole) {
    for (int i = 0; i < 300; ++i) {
        Add(QStringLiteral("d%1/s%2.mp3").arg(i % 10).arg(i), Mp3("S"));
    }
    MakeCatalog();
    const QByteArray before = ReadFile(catalog);
    TCatalogUpdate update = UpdateCatalog(engine, tree, catalog);
    // A large update, so the write takes long enough to be caught in the middle.
    TCatalogNode* top = update.Tree->GetFirst();
    for (int i = 0; i < 200000; ++i) {
        update.Tree->AppendChild(top)->Item().SetField(FileName,
                                                       "padding item " + std::to_string(i));
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (;;) {
            ApplyCatalogUpdate(engine, update, catalog);
        }
    }
    // Kill the child as soon as its temporary file appears, while the new catalog is being
    // written next to the old one.
    bool caught = false;
    for (int i = 0; i < 200000 && !caught; ++i) {
        caught = QDir(dir.path()).entryList(QDir::Files).size() > 1;
        if (!caught) {
            QThread::usleep(50);
        }
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(caught) << "the apply never started writing";
    const QByteArray after = ReadFile(catalog);
    // Either the old catalog, or (when the first save won the race) the complete new one.
    if (after != before) {
        EXPECT_TRUE(after.endsWith("</fileinfo>")) << after.right(80).constData();
        EXPECT_GT(after.size(), before.size() * 10);
    }
    pugi::xml_document parsed;
    EXPECT_TRUE(parsed.load_buffer(after.constData(), static_cast<size_t>(after.size())));
}
