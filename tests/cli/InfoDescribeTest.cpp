// The info and describe commands, and a save killed at any moment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "CliRun.h"
#include "core/catalog/CatalogTree.h"
#include "core/engine/FileInfo.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;
using melodrix::testing::ReadFile;

namespace {

void Set(TCatalogNode* node, std::initializer_list<std::pair<TField, std::string_view>> fields) {
    for (const auto& [field, text] : fields) {
        node->Item().SetField(field, text);
    }
}

// A drive with two folders: three MP3 files (two tagged), a text file and a sub-folder.
QString WriteSmallCatalog(const QString& dir) {
    TCatalogTree tree;
    TCatalogNode* root = tree.AppendChild();
    Set(root, {{FileName, "/music"}, {FullPath, "/music"}, {FileType, "directory"}});
    TCatalogNode* band = tree.AppendChild(root);
    Set(band, {{FileName, "Band"}, {FullPath, "/music/Band"}, {FileType, "directory"}});
    Set(tree.AppendChild(band), {{FileName, "one.mp3"},
                                 {FullPath, "/music/Band/one.mp3"},
                                 {FileType, "file"},
                                 {FileExt, "mp3"},
                                 {FileSize, "300"},
                                 {MP3_Artist, "Artist"},
                                 {MP3_Album, "Album"},
                                 {MP3_Genre, "Rock"}});
    Set(tree.AppendChild(band), {{FileName, "two.MP3"},
                                 {FullPath, "/music/Band/two.MP3"},
                                 {FileType, "file"},
                                 {FileExt, "MP3"},
                                 {FileSize, "50"},
                                 {MP3_Artist, "Artist"},
                                 {MP3_Album, "Other"},
                                 {MP3_Genre, "Jazz"},
                                 {Description, "old note"}});
    Set(tree.AppendChild(band), {{FileName, "three.mp3"},
                                 {FullPath, "/music/Band/three.mp3"},
                                 {FileType, "file"},
                                 {FileExt, "mp3"},
                                 {FileSize, "7"}});
    Set(tree.AppendChild(root), {{FileName, "notes.txt"},
                                 {FullPath, "/music/notes.txt"},
                                 {FileType, "file"},
                                 {FileExt, "txt"},
                                 {FileSize, "1000"},
                                 {MP3_Genre, "Rock"}});
    const QString path = QDir(dir).filePath(QStringLiteral("Small.xml"));
    TFileInfo engine;
    EXPECT_TRUE(engine.SaveCatalogTree(tree, path));
    return path;
}

std::string DescriptionOf(const QString& catalog, std::string_view fullPath) {
    TFileInfo engine;
    TCatalogTree tree;
    engine.OpenCatalogTree(catalog, tree);
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        if (node->Item().Field(FullPath) == fullPath) {
            return std::string(node->Item().Field(Description));
        }
    }
    return "(no such item)";
}

// Whether another process holds the write lock of the catalog, without taking it.
bool IsLockedByAnother(const QString& path) {
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (handle < 0) {
        return false;
    }
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool locked = ::fcntl(handle, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(handle);
    return locked;
}

}  // namespace

TEST(CliInfo, CountsWhatTheCatalogHolds) {
    QTemporaryDir dir;
    const QString catalog = WriteSmallCatalog(dir.path());
    const TCliRun json = RunCli({QStringLiteral("info"), catalog, QStringLiteral("--json")});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonObject info = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(info.value(QStringLiteral("items")).toInt(), 6);
    EXPECT_EQ(info.value(QStringLiteral("folders")).toInt(), 2);
    EXPECT_EQ(info.value(QStringLiteral("files")).toInt(), 4);
    EXPECT_EQ(info.value(QStringLiteral("mp3Files")).toInt(), 3);
    EXPECT_EQ(info.value(QStringLiteral("taggedFiles")).toInt(), 3);  // a tag on a text file counts
    EXPECT_EQ(info.value(QStringLiteral("totalSize")).toInt(), 1357);
    EXPECT_EQ(info.value(QStringLiteral("diskName")).toString(), QStringLiteral("Small"));
    EXPECT_EQ(info.value(QStringLiteral("artists")).toInt(), 1);
    EXPECT_EQ(info.value(QStringLiteral("albums")).toInt(), 2);
    const QJsonArray genres = info.value(QStringLiteral("genres")).toArray();
    ASSERT_EQ(genres.size(), 2);
    EXPECT_EQ(genres[0].toObject().value(QStringLiteral("genre")).toString(),
              QStringLiteral("Rock"));
    EXPECT_EQ(genres[0].toObject().value(QStringLiteral("count")).toInt(), 2);
    EXPECT_EQ(genres[1].toObject().value(QStringLiteral("genre")).toString(),
              QStringLiteral("Jazz"));

    const TCliRun text = RunCli({QStringLiteral("info"), catalog});
    ASSERT_EQ(text.status, 0);
    EXPECT_TRUE(text.out.contains(QStringLiteral("MP3 files:        3")));
    EXPECT_TRUE(text.out.contains(QStringLiteral("  2  Rock")));

    const TCliRun missing =
        RunCli({QStringLiteral("info"), dir.filePath(QStringLiteral("no.xml"))});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(RunCli({QStringLiteral("info")}).status, 2);
}

TEST(CliDescribe, SetsAndClearsADescriptionAndRefusesAnUnknownPath) {
    QTemporaryDir dir;
    const QString catalog = WriteSmallCatalog(dir.path());
    const TCliRun set =
        RunCli({QStringLiteral("describe"), catalog, QStringLiteral("/music/Band/one.mp3"),
                QStringLiteral("Café & <live>")});
    ASSERT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(DescriptionOf(catalog, "/music/Band/one.mp3"), "Café & <live>");
    EXPECT_EQ(DescriptionOf(catalog, "/music/Band/two.MP3"), "old note");

    const QByteArray before = ReadFile(catalog);
    const TCliRun unknown = RunCli({QStringLiteral("describe"), catalog,
                                    QStringLiteral("/music/Band/none.mp3"), QStringLiteral("x")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("has the path /music/Band/none.mp3")))
        << unknown.err.toStdString();
    EXPECT_EQ(ReadFile(catalog), before);

    const TCliRun clear = RunCli(
        {QStringLiteral("describe"), catalog, QStringLiteral("/music/Band/two.MP3"), QString()});
    ASSERT_EQ(clear.status, 0);
    EXPECT_EQ(DescriptionOf(catalog, "/music/Band/two.MP3"), "");
    EXPECT_FALSE(ReadFile(catalog).contains("old note"));
    EXPECT_EQ(RunCli({QStringLiteral("describe"), catalog, QStringLiteral("x")}).status, 2);
}

// A save killed at any moment leaves the old catalog or the new one, never a mix.
TEST(CliDescribe, AKilledSaveLeavesTheOldOrTheNewCatalog) {
    QTemporaryDir dir;
    TCatalogTree tree;
    TCatalogNode* root = tree.AppendChild();
    Set(root, {{FileName, "/big"}, {FullPath, "/big"}, {FileType, "directory"}});
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "track number " + std::to_string(i) + ".mp3";
        Set(tree.AppendChild(root), {{FileName, name},
                                     {FullPath, "/big/" + name},
                                     {FileType, "file"},
                                     {FileExt, "mp3"},
                                     {MP3_Title, "A title long enough to make the file big"}});
    }
    const QString catalog = QDir(dir.path()).filePath(QStringLiteral("Big.xml"));
    TFileInfo engine;
    ASSERT_TRUE(engine.SaveCatalogTree(tree, catalog));
    const QStringList first{QStringLiteral("describe"), catalog, QStringLiteral("/big"),
                            QStringLiteral("first")};
    const QStringList second{QStringLiteral("describe"), catalog, QStringLiteral("/big"),
                             QStringLiteral("second")};
    ASSERT_EQ(RunCli(first).status, 0);
    const QByteArray firstBytes = ReadFile(catalog);
    ASSERT_EQ(RunCli(second).status, 0);
    const QByteArray secondBytes = ReadFile(catalog);
    ASSERT_NE(firstBytes, secondBytes);

    // Each run is killed while it holds the catalog's lock, that is between reading the
    // catalog and replacing it: at once, or a quarter, half or three quarters into the time a
    // run was seen to hold it. A kill at once lands inside the lock whatever the machine's
    // speed, so the count below cannot depend on it; the later ones reach the writing.
    const auto startRun = [&](QProcess& process, int round) {
        process.start(QStringLiteral(MELODRIX_CLI_PATH), round % 2 ? second : first);
        EXPECT_TRUE(process.waitForStarted());
        bool locked = false;
        while (!(locked = IsLockedByAnother(catalog)) && process.state() == QProcess::Running) {
            process.waitForFinished(1);
        }
        return locked;
    };
    QElapsedTimer held;
    {
        QProcess process;
        if (startRun(process, 0)) {
            held.start();
            while (IsLockedByAnother(catalog) && process.state() == QProcess::Running) {
                QThread::usleep(100);
            }
        }
        process.waitForFinished();
    }
    const qint64 holdUs = held.isValid() ? held.nsecsElapsed() / 1000 : 0;
    int killedMidway = 0;
    for (int round = 0; killedMidway < 12 && round < 60; ++round) {
        QProcess process;
        if (startRun(process, round)) {
            QThread::usleep(static_cast<unsigned long>(holdUs * (round % 4) / 4));
            ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        }
        process.waitForFinished();
        killedMidway += process.exitStatus() == QProcess::CrashExit ? 1 : 0;
        const QByteArray now = ReadFile(catalog);
        ASSERT_TRUE(now == firstBytes || now == secondBytes)
            << "round " << round << ": " << now.size() << " bytes, neither catalog";
    }
    EXPECT_EQ(killedMidway, 12);
}
