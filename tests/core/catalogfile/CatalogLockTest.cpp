// Many writers of one catalog: the lock, the read-check-write step and what a waiter sees.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/base/Errors.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/engine/FileInfo.h"
#include "core/scan/ItemEdits.h"
#include "support/ScriptedSinks.h"

using namespace melodrix;
using melodrix::testing::TRecordingProgress;

namespace {

std::string ItemPath(int i) {
    return "/music/song" + std::to_string(i) + ".mp3";
}

// A catalog of one folder with `count` songs.
QString WriteCatalog(const QTemporaryDir& dir, int count) {
    TCatalogTree tree;
    TCatalogNode* root = tree.AppendChild();
    root->Item().SetField(FileName, "/music");
    root->Item().SetField(FullPath, "/music");
    root->Item().SetField(FileType, "directory");
    for (int i = 0; i < count; ++i) {
        TCatalogNode* song = tree.AppendChild(root);
        const std::string name = "song" + std::to_string(i) + ".mp3";
        song->Item().SetField(FileName, name);
        song->Item().SetField(FullPath, ItemPath(i));
        song->Item().SetField(FileType, "file");
    }
    const QString path = dir.filePath(QStringLiteral("Disk.xml"));
    WriteCatalogTreeFile(path, tree);
    return path;
}

std::unique_ptr<TCatalogTree> Read(const QString& path) {
    TFileInfo engine;
    auto tree = std::make_unique<TCatalogTree>();
    engine.OpenCatalogTree(path, *tree);
    return tree;
}

std::string DescriptionOf(const TCatalogTree& tree, const std::string& path) {
    const TCatalogNode* node = FindItem(tree, {path, 0});
    return node ? std::string(node->Item().Field(Description)) : "<missing>";
}

// Sets the description of the item at `path` in whatever tree the step hands over.
TCatalogChangeFn Describe(const std::string& path, const std::string& text) {
    return [path, text](TCatalogTree& tree, bool) {
        TCatalogNode* node = FindItem(tree, {path, 0});
        if (!node) {
            throw TMelodrixError(QStringLiteral("no item"));
        }
        EditCatalogItem(tree, *node, Description, text, false);
    };
}

// A progress sink that cancels once the wait has been shown, and notes what it saw.
class TCancellingProgress final : public IProgressSink {
public:
    void ShowProgress(bool show, bool withCancel) override {
        if (show) {
            shownWithCancel = withCancel;
        }
    }
    void SetProgressText(const QString& text) override { lastText = text; }
    bool CancelRequested() override { return shownWithCancel; }

    bool shownWithCancel = false;
    QString lastText;
};

}  // namespace

TEST(CatalogLock, WritersOnManyThreadsKeepEveryEdit) {
    QTemporaryDir dir;
    const QString path = WriteCatalog(dir, 40);
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&, w] {
            TFileInfo engine;
            for (int i = w; i < 40; i += 4) {
                ChangeCatalogFile(engine.Progress(), path,
                                  Describe(ItemPath(i), "note " + std::to_string(i)));
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const auto tree = Read(path);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(DescriptionOf(*tree, ItemPath(i)), "note " + std::to_string(i));
    }
}

TEST(CatalogLock, AStaleTreeIsReadAgainAndTheEditGoesToTheNewFile) {
    QTemporaryDir dir;
    const QString path = WriteCatalog(dir, 3);
    TFileInfo window;
    TCatalogTree shown;
    window.OpenCatalogTree(path, shown);

    // Unchanged on disk: the tree itself is changed and written, nothing is read.
    EXPECT_FALSE(SaveCatalogChange(window.Progress(), path, shown, Describe(ItemPath(0), "first")));
    EXPECT_EQ(shown.FileStamp(), FileStampOf(path));

    // Another writer saves meanwhile: the window's next edit keeps that writer's edit.
    TFileInfo shell;
    ChangeCatalogFile(shell.Progress(), path, Describe(ItemPath(1), "from the shell"));
    bool toldReadAgain = false;
    EXPECT_TRUE(
        SaveCatalogChange(window.Progress(), path, shown, [&](TCatalogTree& tree, bool again) {
            toldReadAgain = again;
            Describe(ItemPath(2), "window")(tree, again);
        }));
    EXPECT_TRUE(toldReadAgain);
    const auto onDisk = Read(path);
    for (const TCatalogTree* tree : {&shown, onDisk.get()}) {
        EXPECT_EQ(DescriptionOf(*tree, ItemPath(0)), "first");
        EXPECT_EQ(DescriptionOf(*tree, ItemPath(1)), "from the shell");
        EXPECT_EQ(DescriptionOf(*tree, ItemPath(2)), "window");
    }
    EXPECT_EQ(shown.FileStamp(), FileStampOf(path));
}

TEST(CatalogLock, AChangeThatFailsOrACatalogThatIsGoneWritesNothing) {
    QTemporaryDir dir;
    const QString path = WriteCatalog(dir, 2);
    const TFileStamp before = FileStampOf(path);
    TFileInfo engine;
    EXPECT_THROW(ChangeCatalogFile(engine.Progress(), path, Describe("/nowhere", "x")),
                 TMelodrixError);
    EXPECT_EQ(FileStampOf(path), before);

    const auto shown = Read(path);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_THROW(SaveCatalogChange(engine.Progress(), path, *shown, Describe(ItemPath(0), "lost?")),
                 TMelodrixError);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(CatalogLock, AWaiterCanCancelAndAReplacedFileIsLockedAnew) {
    QTemporaryDir dir;
    const QString path = WriteCatalog(dir, 2);
    std::optional<TCatalogLock> held(std::in_place, path, SilentProgress());
    ASSERT_TRUE(held->Exists());

    // Cancelled while waiting: told, and nothing changes.
    TFileInfo engine;
    TCancellingProgress cancelling;
    engine.SetProgress(cancelling);
    EXPECT_THROW(ChangeCatalogFile(engine.Progress(), path, Describe(ItemPath(0), "never")),
                 TCancelledError);
    EXPECT_TRUE(cancelling.shownWithCancel);
    EXPECT_EQ(cancelling.lastText, kWaitingForCatalog.arg(path));

    // A waiter on the old file gets the lock of the file that replaced it.
    std::atomic<bool> locked = false;
    TFileStamp seen;
    std::thread waiter([&] {
        const TCatalogLock lock(path, SilentProgress());
        seen = lock.Stamp();
        locked = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(locked);
    const TFileStamp written = WriteCatalogTreeFile(path, *Read(path));
    held.reset();
    waiter.join();
    EXPECT_TRUE(locked);
    EXPECT_EQ(seen, written);
    EXPECT_NE(seen.Inode, 0u);
}

TEST(CatalogLock, ALockHeldByAProcessThatDiedBlocksNobody) {
    QTemporaryDir dir;
    const QString path = WriteCatalog(dir, 1);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const TCatalogLock lock(path, SilentProgress());
        const char byte = 'L';
        (void)!::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    // While the child lives the lock is really held.
    TCancellingProgress cancelling;
    EXPECT_THROW({ const TCatalogLock lock(path, cancelling); }, TCancelledError);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    TCancellingProgress after;
    const TCatalogLock lock(path, after);
    EXPECT_TRUE(lock.Exists());
    EXPECT_FALSE(after.shownWithCancel);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(CatalogLock, OnlyARegularFileIsLocked) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("Pipe.xml"));
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    EXPECT_THROW({ const TCatalogLock lock(fifo, SilentProgress()); }, TMelodrixError);
    const QString absent = dir.filePath(QStringLiteral("New.xml"));
    const TCatalogLock none(absent, SilentProgress());
    EXPECT_FALSE(none.Exists());
}
