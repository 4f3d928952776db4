#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <map>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <pugixml.hpp>

#include "core/base/Errors.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/engine/FileInfo.h"
#include "core/scan/UpdateCatalog.h"
#include "core/scan/UpdateRenames.h"
#include "core/tags/TagBuilders.h"
#include "support/FileRights.h"
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

    const TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
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

    TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
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
    ApplyCatalogUpdate(engine.Progress(), update, catalog);
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

    const TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
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
    const TCatalogUpdate update = UpdateCatalog(engine.Progress(), reopened, catalog);
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
    const TCatalogUpdate again = UpdateCatalog(engine.Progress(), fresh, catalog);
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
        UpdateCatalog(engine.Progress(), tree, catalog);
        ADD_FAILURE() << "a missing folder was scanned";
    } catch (const TMelodrixError& error) {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("does not exist")))
            << qPrintable(error.Message());
    }
    QDir().mkpath(folder);
    try {
        UpdateCatalog(engine.Progress(), tree, catalog);
        ADD_FAILURE() << "an empty folder emptied the catalog";
    } catch (const TMelodrixError& error) {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("is empty")))
            << qPrintable(error.Message());
    }
    EXPECT_EQ(ReadFile(catalog), before);
    // An empty catalog of an empty folder is no risk.
    TCatalogTree empty;
    EXPECT_FALSE(UpdateCatalog(engine.Progress(), empty, catalog, folder).HasChanges());
}

TEST_F(UpdateCatalogTest, TheScanIsMadeAsTheCatalogWasAndAnotherFolderMatchesByRelativePath) {
    Add(QStringLiteral("a/one.mp3"), Mp3("One"));
    Add(QStringLiteral("a/notes.txt"), "text");
    MakeCatalog(QString(), true);
    Describe("/a", "folders only");
    Add(QStringLiteral("b/two.mp3"), Mp3("Two"));
    TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
    EXPECT_EQ(PathsOf(update.Added, folder), std::vector<std::string>{"/b"});

    // A catalog that does not say how it was made: MP3 files, folders and files.
    tree.Attributes().Clear();
    Add(QStringLiteral("a/more.txt"), "text");
    update = UpdateCatalog(engine.Progress(), tree, catalog);
    EXPECT_EQ(PathsOf(update.Added, folder),
              (std::vector<std::string>{"/a/one.mp3", "/b", "/b/two.mp3"}));
    EXPECT_EQ(update.Tree->Attributes().Value(kScanMaskAttribute), "\\.MP3\\");

    // The same disk mounted elsewhere.
    const QString elsewhere = dir.filePath(QStringLiteral("mnt"));
    ASSERT_TRUE(QDir().rename(folder, elsewhere));
    update = UpdateCatalog(engine.Progress(), tree, catalog, elsewhere);
    EXPECT_EQ(update.Folder, elsewhere);
    EXPECT_EQ(Text(Node(*update.Tree, "mnt/a"), Description), "folders only");
    EXPECT_EQ(update.Removed.size(), 0u);
}

TEST_F(UpdateCatalogTest, AKillDuringTheApplyLeavesTheOldCatalogWhole) {
    for (int i = 0; i < 300; ++i) {
        Add(QStringLiteral("d%1/s%2.mp3").arg(i % 10).arg(i), Mp3("S"));
    }
    MakeCatalog();
    // As when the catalog is read from its file: the apply then knows it is unchanged and
    // writes this update rather than working it out again.
    tree.SetFileStamp(FileStampOf(catalog));
    const QByteArray before = ReadFile(catalog);
    TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
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
            ApplyCatalogUpdate(engine.Progress(), update, catalog);
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

namespace {

void SetTime(const QString& path, const QDateTime& time) {
    const utimbuf times{time.toSecsSinceEpoch(), time.toSecsSinceEpoch()};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
}

void SetMode(const QString& path, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

}  // namespace

TEST_F(UpdateCatalogTest, WhatCannotBeReadKeepsItsStoredItemsAndIsNamed) {
    Add(QStringLiteral("open/one.mp3"), Mp3("One"));
    const QString locked = folder + QStringLiteral("/locked");
    Add(QStringLiteral("locked/x.mp3"), Mp3("X"));
    Add(QStringLiteral("locked/deep/y.mp3"), Mp3("Y", 1000));
    const QString sealed = Add(QStringLiteral("open/sealed.mp3"), Mp3("Sealed"));
    MakeCatalog();
    Describe("/locked", "the vault");
    Describe("/locked/x.mp3", "treasure");
    TCatalogNode* y = Node(tree, "/locked/deep/y.mp3");
    RecordRename(tree, *y, "Why");
    y->Item().SetField(FileName, "Why");
    Save(tree);
    Add(QStringLiteral("open/new.mp3"), Mp3("New"));
    SetMode(locked, 0);
    SetMode(sealed, 0);

    auto update = [&](const QString& from) {
        const melodrix::testing::TFileRightsAsBitsSay rights;
        EXPECT_TRUE(rights.Holds());
        return UpdateCatalog(engine.Progress(), tree, catalog, from);
    };
    TCatalogUpdate result = update(QString());
    EXPECT_EQ(PathsOf(result.Added, folder), std::vector<std::string>{"/open/new.mp3"});
    EXPECT_TRUE(result.Removed.empty());
    EXPECT_TRUE(result.Changed.empty());
    ASSERT_EQ(result.UnlistedFolders.size(), 1u);
    EXPECT_EQ(result.UnlistedFolders[0].Path, locked);
    EXPECT_EQ(result.UnlistedFolders[0].Error, QStringLiteral("Permission denied"));
    ASSERT_EQ(result.UnreadFiles.size(), 1u);
    EXPECT_EQ(result.UnreadFiles[0].Path, sealed);
    EXPECT_TRUE(result.HasUnreadable());

    // The folder's items as they were, descriptions, names and all; the file's tags.
    const TCatalogTree& fresh = *result.Tree;
    EXPECT_EQ(Text(Node(fresh, "/locked"), Description), "the vault");
    EXPECT_EQ(Text(Node(fresh, "/locked/x.mp3"), Description), "treasure");
    EXPECT_EQ(Text(Node(fresh, "/locked/x.mp3"), MP3_Title), "X");
    EXPECT_EQ(Text(Node(fresh, "/locked/deep/y.mp3"), FileName), "Why");
    EXPECT_EQ(TRenameRecord::Of(fresh).Entries(), TRenameRecord::Of(tree).Entries());
    EXPECT_EQ(Text(Node(fresh, "/open/sealed.mp3"), MP3_Title), "Sealed");
    EXPECT_EQ(Text(Node(fresh, "/open/sealed.mp3"), MP3_Artist), "Artist");
    // Sizes and shares count what was kept: as the same tree scanned whole gives them.
    SetMode(locked, 0755);
    SetMode(sealed, 0644);
    TCatalogTree whole;
    engine.ScanFolder(whole, folder, kMp3Mask, false, catalog);
    for (const char* path : {"/locked", "/locked/deep", "/open", "/open/new.mp3"}) {
        EXPECT_EQ(Text(Node(fresh, path), FileSize), Text(Node(whole, path), FileSize)) << path;
        EXPECT_EQ(Text(Node(fresh, path), SizePercentage), Text(Node(whole, path), SizePercentage))
            << path;
    }
    EXPECT_EQ(Text(fresh.GetFirst(), FileSize), Text(whole.GetFirst(), FileSize));

    // The same disk mounted elsewhere: the kept items get the paths below it.
    const QString elsewhere = dir.filePath(QStringLiteral("mnt"));
    ASSERT_TRUE(QDir().rename(folder, elsewhere));
    SetMode(elsewhere + QStringLiteral("/locked"), 0);
    result = update(elsewhere);
    SetMode(elsewhere + QStringLiteral("/locked"), 0755);
    EXPECT_TRUE(result.Removed.empty());
    const TCatalogNode* moved = Node(*result.Tree, "/locked/x.mp3");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(Text(moved, FullPath), (elsewhere + QStringLiteral("/locked/x.mp3")).toStdString());
    EXPECT_EQ(Text(moved, PathNameLength), std::to_string(Text(moved, FullPath).size()));
}

TEST_F(UpdateCatalogTest, AnUnreadableFolderToScanIsRefused) {
    Add(QStringLiteral("one.mp3"), Mp3("One"));
    MakeCatalog();
    SetMode(folder, 0);
    try {
        const melodrix::testing::TFileRightsAsBitsSay rights;
        UpdateCatalog(engine.Progress(), tree, catalog);
        ADD_FAILURE() << "an unreadable folder emptied the catalog";
    } catch (const TMelodrixError& error) {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("could not be read")))
            << qPrintable(error.Message());
    }
    SetMode(folder, 0755);
}

TEST_F(UpdateCatalogTest, TimesAreComparedAsTimesInTheFormatTheCatalogWasWrittenIn) {
    const QString a = Add(QStringLiteral("a.mp3"), Mp3("A"));
    const QString b = Add(QStringLiteral("b.mp3"), Mp3("B"));
    SetTime(a, QDateTime(QDate(2026, 12, 9), QTime(21, 10, 29)));
    SetTime(b, QDateTime(QDate(2026, 12, 9), QTime(21, 10, 29)));
    QLocale::setDefault(QLocale::c());  // a job started without a locale
    MakeCatalog();
    EXPECT_EQ(tree.Attributes().Value(kScanLocaleAttribute), "C");
    EXPECT_EQ(tree.Attributes().Value(kScanDateFormatAttribute), "d MMM yyyy");
    EXPECT_EQ(tree.Attributes().Value(kScanTimeFormatAttribute), "HH:mm:ss");
    EXPECT_EQ(Text(Node(tree, "/a.mp3"), FileTime), "9 Dec 2026 21:10:29");
    // Saved after what the catalog already held.
    EXPECT_TRUE(ReadFile(catalog).contains(
        "ScanFolder=\"" + folder.toUtf8() +
        "\" ScanLocale=\"C\" ScanDateFormat=\"d MMM yyyy\" ScanTimeFormat=\"HH:mm:ss\">"));

    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SetTime(b, QDateTime(QDate(2026, 12, 10), QTime(8, 0, 0)));
    TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
    ASSERT_EQ(update.Changed.size(), 1u);
    EXPECT_EQ(update.Changed[0].FullPath, (folder + QStringLiteral("/b.mp3")).toStdString());
    ASSERT_EQ(update.Changed[0].Fields.size(), 1u);
    EXPECT_EQ(update.Changed[0].Fields[0].Before, "9 Dec 2026 21:10:29");
    EXPECT_EQ(update.Changed[0].Fields[0].After, "10 Dec 2026 08:00:00");
    EXPECT_EQ(Text(Node(*update.Tree, "/a.mp3"), FileTime), "9 Dec 2026 21:10:29");
    EXPECT_EQ(update.Tree->Attributes().Value(kScanLocaleAttribute), "C");

    // A catalog written before it recorded its format: the format its times are all in.
    TCatalogTree old;
    Open(old);
    for (const std::string_view name :
         {kScanLocaleAttribute, kScanDateFormatAttribute, kScanTimeFormatAttribute}) {
        old.Attributes().Remove(name);
    }
    update = UpdateCatalog(engine.Progress(), old, catalog);
    EXPECT_EQ(update.Changed.size(), 1u);
    EXPECT_EQ(update.Tree->Attributes().Value(kScanDateFormatAttribute), "d MMM yyyy");
    EXPECT_EQ(Text(Node(*update.Tree, "/b.mp3"), FileTime), "10 Dec 2026 08:00:00");

    // Times of several formats: each is read in the one that reads it, and keeps its text.
    Node(old, "/b.mp3")->Item().SetField(FileTime, "12/9/2026 9:10:29 PM");
    update = UpdateCatalog(engine.Progress(), old, catalog);
    ASSERT_EQ(update.Changed.size(), 1u);
    EXPECT_EQ(update.Changed[0].FullPath, (folder + QStringLiteral("/b.mp3")).toStdString());
    EXPECT_EQ(Text(Node(*update.Tree, "/a.mp3"), FileTime), "9 Dec 2026 21:10:29");
    EXPECT_EQ(Text(Node(*update.Tree, "/b.mp3"), FileTime), "12/10/2026 8:00:00 AM");
    EXPECT_EQ(update.Tree->Attributes().Find(kScanLocaleAttribute), nullptr);
}

TEST_F(UpdateCatalogTest, AnUpdateWorkedOutAgainKeepsTheOtherWritersEditAndItsOwnRefusal) {
    Add(QStringLiteral("open/one.mp3"), Mp3("One"));
    const QString locked = folder + QStringLiteral("/locked");
    Add(QStringLiteral("locked/x.mp3"), Mp3("X"));
    MakeCatalog();
    TCatalogTree read;
    engine.OpenCatalogTree(catalog, read);
    TCatalogUpdate update = UpdateCatalog(engine.Progress(), read, catalog);
    ASSERT_FALSE(update.HasUnreadable());

    // Before Apply another program describes a song and a folder becomes unreadable: the
    // update is worked out again, finds the folder, and is refused unless told to keep it.
    const auto describe = [&](const char* text) {
        ChangeCatalogFile(engine.Progress(), catalog, [&](TCatalogTree& tree, bool) {
            Node(tree, "/open/one.mp3")->Item().SetField(Description, text);
        });
    };
    describe("typed meanwhile");
    Add(QStringLiteral("open/two.mp3"), Mp3("Two"));
    SetMode(locked, 0);
    const QByteArray before = ReadFile(catalog);
    {
        const melodrix::testing::TFileRightsAsBitsSay rights;
        EXPECT_THROW(ApplyCatalogUpdate(engine.Progress(), update, catalog, false), TMelodrixError);
        EXPECT_EQ(ReadFile(catalog), before);
        ApplyCatalogUpdate(engine.Progress(), update, catalog, true);
    }
    SetMode(locked, 0755);
    TCatalogTree saved;
    engine.OpenCatalogTree(catalog, saved);
    EXPECT_EQ(Text(Node(saved, "/open/one.mp3"), Description), "typed meanwhile");
    EXPECT_NE(Node(saved, "/open/two.mp3"), nullptr);
    EXPECT_NE(Node(saved, "/locked/x.mp3"), nullptr);
    EXPECT_EQ(saved.FileStamp(), FileStampOf(catalog));
    EXPECT_EQ(update.Tree->FileStamp(), FileStampOf(catalog));
}

// Tags that come to disagree are a change the update reports and writes; a file that can no
// longer be read keeps the disagreement with the rest of what the catalog says of its tags.
TEST_F(UpdateCatalogTest, ATagDisagreementIsAChangeAndStaysWithAFileThatCannotBeRead) {
    const auto bothTags = [](const std::string& v1Title) {
        return QByteArray::fromStdString(ID3v2Tag(3, Frame23("TIT2", Latin1Body("Song")) +
                                                         Frame23("TPE1", Latin1Body("Artist"))) +
                                         AudioLike(300) +
                                         ID3v1Record(v1Title, "Artist", "Album", "1999", "", 17));
    };
    const QString song = Add(QStringLiteral("song.mp3"), bothTags("Song"));
    MakeCatalog();
    EXPECT_EQ(Text(Node(tree, "/song.mp3"), ID3Mismatch), "");

    Add(QStringLiteral("song.mp3"), bothTags("Old Song"));
    TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
    ASSERT_EQ(update.Changed.size(), 1u);
    std::map<int, TFieldChange> fields;
    for (const TFieldChange& change : update.Changed[0].Fields) {
        fields[change.Field] = change;
    }
    EXPECT_EQ(fields[MP3_Title].After, "Old Song");
    EXPECT_EQ(fields[ID3Mismatch].Before, "");
    EXPECT_EQ(fields[ID3Mismatch].After, "Title");
    ApplyCatalogUpdate(engine.Progress(), update, catalog);
    TCatalogTree applied;
    Open(applied);
    EXPECT_EQ(Text(Node(applied, "/song.mp3"), ID3Mismatch), "Title");

    SetMode(song, 0);
    {
        const melodrix::testing::TFileRightsAsBitsSay rights;
        EXPECT_TRUE(rights.Holds());
        update = UpdateCatalog(engine.Progress(), applied, catalog);
    }
    SetMode(song, 0644);
    ASSERT_EQ(update.UnreadFiles.size(), 1u);
    EXPECT_EQ(Text(Node(*update.Tree, "/song.mp3"), MP3_Title), "Old Song");
    EXPECT_EQ(Text(Node(*update.Tree, "/song.mp3"), ID3Mismatch), "Title");
}
