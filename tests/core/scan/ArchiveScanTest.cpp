// Scans of folders holding archives and disc images made by the real tools, hostile archives,
// and the name patterns a scan skips.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <chrono>
#include <map>

#include "core/archive/ArchiveReader.h"
#include "core/catalog/DiskFacts.h"
#include "core/catalog/NamePatterns.h"
#include "core/catalog/Paths.h"
#include "core/engine/FileInfo.h"
#include "core/scan/MusicMasks.h"
#include "core/scan/ScanOptions.h"
#include "core/scan/UpdateCatalog.h"
#include "core/tags/AudioBuilders.h"
#include "core/tags/TagBuilders.h"
#include "support/ScriptedSinks.h"
#include "support/TempDir.h"
#include "support/TreeQueries.h"

using namespace melodrix;
using namespace melodrix::tagbytes;
using melodrix::testing::WriteFile;

namespace {

std::string Text(const TCatalogNode* node, int field) {
    return std::string(node->Item().Field(field));
}

// Runs a tool in `directory`; the tools are installed by scripts/install-deps. Spawned, not
// forked, so that the thread checker sees no copy of this process's threads.
void RunTool(const QString& directory, const QString& program, const QStringList& arguments) {
    ASSERT_FALSE(QStandardPaths::findExecutable(program).isEmpty())
        << program.toStdString() << " is missing: run scripts/install-deps";
    std::vector<std::string> texts{"/bin/sh", "-c", "cd \"$0\" && exec \"$@\" >/dev/null 2>&1",
                                   directory.toStdString(), program.toStdString()};
    for (const QString& argument : arguments) {
        texts.push_back(argument.toStdString());
    }
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, "/bin/sh", nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << program.toStdString() << " failed in " << directory.toStdString();
}

// Three tracks the way collections hold them: ID3v1 only, ID3v2.4 with a picture, and one
// long enough that its ID3v1 tag lies well past the part of an entry kept from its start.
std::map<QString, QByteArray> AlbumFiles() {
    const std::string v2 = ID3v2Tag(
        4, Frame24("TIT2", Utf8Body("Zwei – Café")) + Frame24("TPE1", Utf8Body("Mädchen")) +
               Frame24("TALB", Utf8Body("Über")) + Frame24("TRCK", Utf8Body("2/3")) +
               Frame24("APIC", std::string(200 * 1024, '\x7F')));
    const std::string longAudio = Mp3Frames(6000);  // 2.5 MB
    return {
        {QStringLiteral("01 Intro.mp3"),
         QByteArray::fromStdString(Mp3Frames(40) +
                                   ID3v1Record("Intro", "Artist", "Album", "1999", "c", 17))},
        {QStringLiteral("02 Zwei.mp3"), QByteArray::fromStdString(v2 + Mp3Frames(60))},
        {QStringLiteral("03 Long.mp3"),
         QByteArray::fromStdString(XingFrame("Info", 6001, 6001 * kMp3Frame128, 576, 1000) +
                                   longAudio +
                                   ID3v1Record("Long", "Artist", "Album", "2001", "", 17))},
        {QStringLiteral("cover.jpg"), QByteArray(5000, 'j')},
    };
}

const std::vector<int> kTagAndAudioFields = {
    MP3_Title,     MP3_Artist, MP3_Album,       MP3_Year,      MP3_Comment,  MP3_Genre,
    MP3_Track,     MP3_Disc,   MP3_AlbumArtist, AudioDuration, AudioBitrate, AudioSampleRate,
    AudioChannels, AudioCodec, AudioMode,       FileSize};

class ArchiveScan : public ::testing::Test {
protected:
    void SetUp() override {
        melodrix::testing::UseEnglishLocale();
        ASSERT_TRUE(dir.isValid());
        folder = dir.filePath(QStringLiteral("music"));
        source = dir.filePath(QStringLiteral("source"));
        catalog = dir.filePath(QStringLiteral("Disk.xml"));
        QDir().mkpath(folder);
        for (const auto& [name, bytes] : AlbumFiles()) {
            WriteFile(source, QStringLiteral("Album/") + name, bytes);
        }
    }

    TScanOutcome Scan(TScanOptions options) {
        options.DiskOf = nullptr;
        return engine.ScanFolder(tree, folder, options, catalog);
    }
    static TScanOptions Archives(const QString& mask = kMp3MaskList) {
        TScanOptions options;
        options.MaskList = mask;
        options.Archives = true;
        return options;
    }
    TCatalogNode* Node(const std::string& suffix) const {
        return melodrix::testing::NodeEndingWith(tree, suffix);
    }
    std::vector<std::string> Paths() const {
        return melodrix::testing::SortedPathsAfter(tree, static_cast<size_t>(folder.size()));
    }
    QString Archive(std::string_view name) const {
        return QDir(folder).filePath(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }

    QTemporaryDir dir;
    QString folder, source, catalog;
    melodrix::testing::TRecordingProgress progress;
    TFileInfo engine{progress};
    TCatalogTree tree;
};

TEST_F(ArchiveScan, EntriesOfEveryFormatCarryTheTagsOfTheSameFilesUnpacked) {
    // The files unpacked first: what every archive's entries must say.
    QDir().rename(source + QStringLiteral("/Album"), folder + QStringLiteral("/Album"));
    ASSERT_TRUE(Scan(Archives()).Complete());
    std::map<std::string, std::vector<std::string>> unpacked;
    for (const auto& [name, bytes] : AlbumFiles()) {
        if (!name.endsWith(QLatin1String(".mp3"))) {
            continue;
        }
        const TCatalogNode* node = Node("/Album/" + name.toStdString());
        ASSERT_NE(node, nullptr);
        for (const int field : kTagAndAudioFields) {
            unpacked[name.toStdString()].push_back(Text(node, field));
        }
    }
    EXPECT_EQ(unpacked["03 Long.mp3"][0], "Long");
    EXPECT_EQ(unpacked["02 Zwei.mp3"][0], "Zwei – Café");
    QDir().rename(folder + QStringLiteral("/Album"), source + QStringLiteral("/Album"));

    const QStringList album{QStringLiteral("Album")};
    RunTool(source, QStringLiteral("zip"),
            QStringList{QStringLiteral("-qr"), Archive("a.zip")} + album);
    RunTool(source, QStringLiteral("7z"),
            QStringList{QStringLiteral("a"), QStringLiteral("-bd"), Archive("a.7z")} + album);
    RunTool(source, QStringLiteral("tar"),
            QStringList{QStringLiteral("cf"), Archive("a.tar")} + album);
    RunTool(source, QStringLiteral("tar"),
            QStringList{QStringLiteral("czf"), Archive("a.tar.gz")} + album);
    RunTool(source, QStringLiteral("tar"),
            QStringList{QStringLiteral("cjf"), Archive("a.tar.bz2")} + album);
    RunTool(source, QStringLiteral("tar"),
            QStringList{QStringLiteral("cJf"), Archive("a.txz")} + album);
    RunTool(
        source, QStringLiteral("tar"),
        QStringList{QStringLiteral("--zstd"), QStringLiteral("-cf"), Archive("a.tar.zst")} + album);
    RunTool(source, QStringLiteral("xorriso"),
            {QStringLiteral("-as"), QStringLiteral("mkisofs"), QStringLiteral("-quiet"),
             QStringLiteral("-R"), QStringLiteral("-J"), QStringLiteral("-graft-points"),
             QStringLiteral("-o"), Archive("a.iso"), QStringLiteral("Album=Album")});

    const TScanOutcome outcome = Scan(Archives());
    EXPECT_TRUE(outcome.Complete())
        << ScanProblemLines(outcome).join(QLatin1Char('\n')).toStdString();
    for (const char* name :
         {"a.zip", "a.7z", "a.tar", "a.tar.gz", "a.tar.bz2", "a.txz", "a.tar.zst", "a.iso"}) {
        SCOPED_TRACE(name);
        const TCatalogNode* archive = Node(std::string("/") + name);
        ASSERT_NE(archive, nullptr);
        // The archive's own item is a file, with its size on disk.
        EXPECT_EQ(Text(archive, FileType), "file");
        EXPECT_EQ(Text(archive, FileSize), std::to_string(QFileInfo(Archive(name)).size()));
        ASSERT_EQ(archive->ChildCount(), 1);
        const TCatalogNode* inner = archive->Child(0);
        EXPECT_EQ(Text(inner, FileType), "directory");
        EXPECT_EQ(Text(inner, FullPath), Text(archive, FullPath) + "/Album");
        // The mask keeps the MP3 entries only.
        EXPECT_EQ(inner->ChildCount(), 3);
        for (const auto& [track, expected] : unpacked) {
            const TCatalogNode* entry = Node(std::string(name) + "/Album/" + track);
            ASSERT_NE(entry, nullptr) << track;
            std::vector<std::string> got;
            for (const int field : kTagAndAudioFields) {
                got.push_back(Text(entry, field));
            }
            EXPECT_EQ(got, expected) << track;
            EXPECT_FALSE(Text(entry, FileTime).empty());
        }
    }
    // What the folders add up is the archives' own sizes, not what they unpack to.
    uint64_t onDisk = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
        onDisk += static_cast<uint64_t>(file.size());
    }
    EXPECT_EQ(Text(tree.GetFirst(), FileSize), std::to_string(onDisk));
}

TEST_F(ArchiveScan, AMaskPrunesArchivesWithoutMatchesAndTheChoiceIsKeptForUpdate) {
    WriteFile(source, QStringLiteral("Docs/readme.txt"), "hello");
    RunTool(source, QStringLiteral("zip"),
            {QStringLiteral("-qr"), Archive("docs.zip"), QStringLiteral("Docs")});
    RunTool(source, QStringLiteral("zip"),
            {QStringLiteral("-qr"), Archive("album.zip"), QStringLiteral("Album")});
    WriteFile(folder, QStringLiteral("nested.zip/x"), "");  // a folder named like an archive
    ASSERT_TRUE(Scan(Archives()).Complete());
    EXPECT_EQ(Node("/docs.zip"), nullptr);
    EXPECT_NE(Node("/album.zip/Album/01 Intro.mp3"), nullptr);
    EXPECT_EQ(Node("/nested.zip"), nullptr);  // a folder without music, pruned as any

    // Without a mask every entry stays, the archive without music too.
    ASSERT_TRUE(Scan(Archives(QString())).Complete());
    EXPECT_NE(Node("/docs.zip/Docs/readme.txt"), nullptr);
    EXPECT_NE(Node("/album.zip/Album/cover.jpg"), nullptr);

    // Without the option an archive is a file like any other, and the catalog says nothing new.
    TScanOptions plain;
    plain.MaskList = QString();
    Scan(plain);
    EXPECT_EQ(Node("/album.zip")->ChildCount(), 0);
    EXPECT_EQ(tree.Attributes().Find(kScanArchivesAttribute), nullptr);
    EXPECT_EQ(tree.Attributes().Find(kScanExcludesAttribute), nullptr);

    // The update looks inside archives as the catalog was made: a track added is found there.
    Scan(Archives());
    ASSERT_EQ(tree.Attributes().Value(kScanArchivesAttribute), "true");
    ASSERT_TRUE(engine.SaveCatalogTree(tree, catalog));
    WriteFile(source, QStringLiteral("Album/04 New.mp3"), QByteArray::fromStdString(Mp3Frames(5)));
    QFile::remove(Archive("album.zip"));
    RunTool(source, QStringLiteral("zip"),
            {QStringLiteral("-qr"), Archive("album.zip"), QStringLiteral("Album")});
    TCatalogTree stored;
    ASSERT_TRUE(engine.OpenCatalogTree(catalog, stored));
    const TCatalogUpdate update = UpdateCatalog(progress, stored, catalog);
    ASSERT_EQ(update.Added.size(), 1u);
    EXPECT_TRUE(update.Added[0].FullPath.ends_with("/album.zip/Album/04 New.mp3"));
    EXPECT_TRUE(update.Removed.empty());
}

TEST_F(ArchiveScan, HostileArchivesStayPlainFilesAndAreNamed) {
    RunTool(source, QStringLiteral("zip"),
            {QStringLiteral("-qr"), Archive("good.zip"), QStringLiteral("Album")});
    RunTool(source, QStringLiteral("zip"),
            {QStringLiteral("-qr"), QStringLiteral("-P"), QStringLiteral("secret"),
             Archive("locked.zip"), QStringLiteral("Album")});
    QByteArray good = melodrix::testing::ReadFile(Archive("good.zip"));
    WriteFile(folder, QStringLiteral("cut.zip"), good.left(good.size() / 2));
    QByteArray damaged = good;
    // Wreck the compressed data of the first entry, whose tags the scan must read.
    for (qsizetype i = 100; i < 400; ++i) {
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    }
    WriteFile(folder, QStringLiteral("damaged.zip"), damaged);
    WriteFile(folder, QStringLiteral("noise.7z"), QByteArray(3000, 'x'));
    WriteFile(folder, QStringLiteral("empty.iso"), QByteArray());

    const TScanOutcome outcome = Scan(Archives());
    EXPECT_TRUE(outcome.UnlistedFolders.empty());
    EXPECT_TRUE(outcome.UnreadFiles.empty());
    std::map<std::string, QString> named;
    for (const TScanProblem& problem : outcome.PlainArchives) {
        named[QFileInfo(problem.Path).fileName().toStdString()] = problem.Error;
    }
    EXPECT_EQ(named.size(), 5u);
    EXPECT_EQ(named["locked.zip"], QStringLiteral("it is encrypted"));
    for (const char* name : {"locked.zip", "cut.zip", "damaged.zip", "noise.7z", "empty.iso"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(named.count(name));
        // A plain file, kept even though the mask takes MP3 files only, with its size.
        const TCatalogNode* node = Node(std::string("/") + name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->ChildCount(), 0);
        EXPECT_EQ(Text(node, FileSize), std::to_string(QFileInfo(Archive(name)).size()));
    }
    EXPECT_EQ(Node("/good.zip")->Child(0)->ChildCount(), 3);
    // The report says it, and the user's descriptions are never used for it.
    const QStringList lines = ScanProblemLines(outcome);
    EXPECT_TRUE(
        lines.join(QLatin1Char('\n')).contains(QStringLiteral("locked.zip: it is encrypted")));
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        EXPECT_EQ(Text(node, Description), "");
    }
}

TEST_F(ArchiveScan, AZipBombAndAFloodOfEntriesStopAtTheirLimits) {
    // 300 MB of zeros named as music, which the scan must unpack to read: about 300 KB zipped.
    const QString zeros = QDir(source).filePath(QStringLiteral("bomb.mp3"));
    {
        QFile file(zeros);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(300ll * 1000 * 1000));
    }
    RunTool(source, QStringLiteral("zip"),
            {QStringLiteral("-q"), Archive("bomb.zip"), QStringLiteral("bomb.mp3")});
    QFile::remove(zeros);
    // The same zeros as a stream: reaching the entry after them unpacks them all.
    WriteFile(source, QStringLiteral("stream/a.bin"), QByteArray(50'000'000, '\0'));
    WriteFile(source, QStringLiteral("stream/b.mp3"), QByteArray::fromStdString(Mp3Frames(3)));
    RunTool(source, QStringLiteral("tar"),
            {QStringLiteral("czf"), Archive("stream.tar.gz"), QStringLiteral("stream")});
    ASSERT_LT(QFileInfo(Archive("bomb.zip")).size(), 2'000'000);

    TScanOptions options = Archives();
    options.ArchiveLimits.MaxBytes = 20'000'000;
    const auto start = std::chrono::steady_clock::now();
    TScanOutcome outcome = Scan(options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_EQ(outcome.PlainArchives.size(), 2u);
    for (const TScanProblem& problem : outcome.PlainArchives) {
        EXPECT_EQ(problem.Error, QStringLiteral("it unpacks to more than 20 MB"));
    }
    EXPECT_EQ(Node("/bomb.zip")->ChildCount(), 0);

    // With the real limit the stream is read, and the bomb's bytes past the part kept of an
    // entry never fill the memory: its size is known, its tags are none.
    outcome = Scan(Archives(QString()));
    EXPECT_TRUE(outcome.PlainArchives.empty());
    EXPECT_EQ(Text(Node("/bomb.zip/bomb.mp3"), FileSize), "300000000");
    EXPECT_EQ(Text(Node("/stream.tar.gz/stream/b.mp3"), AudioCodec), "MP3");

    // Entries and time have their limits too.
    options = Archives();
    options.ArchiveLimits.MaxEntries = 2;
    outcome = Scan(options);
    ASSERT_EQ(outcome.PlainArchives.size(), 1u);  // the folder and two files of the stream
    EXPECT_EQ(outcome.PlainArchives[0].Error, QStringLiteral("it holds more than 2 entries"));
    options = Archives();
    options.ArchiveLimits.MaxTime = std::chrono::milliseconds(-1);
    EXPECT_EQ(Scan(options).PlainArchives.size(), 2u);
}

// One ustar header block and the data of a file, as a crafted archive would hold them.
std::string TarEntry(const std::string& name, const std::string& data, char type = '0') {
    std::string header(512, '\0');
    header.replace(0, name.size(), name);
    header.replace(100, 7, "0000644");
    header.replace(108, 7, "0000000");
    header.replace(116, 7, "0000000");
    char size[13];
    std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(data.size()));
    header.replace(124, 11, size);
    header.replace(136, 11, "14000000000");
    header[156] = type;
    header.replace(257, 6, std::string("ustar\0", 6));
    header.replace(263, 2, "00");
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (const char c : header) {
        sum += static_cast<unsigned char>(c);
    }
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%06o", sum);
    header.replace(148, 7, std::string(checksum, 6) + '\0');
    std::string padded = data;
    padded.resize((data.size() + 511) / 512 * 512, '\0');
    return header + padded;
}

TEST_F(ArchiveScan, NamesThatClimbOutAreShownAndNeverTouchTheDisk) {
    const std::string song = Mp3Frames(4) + ID3v1Record("Evil", "", "", "", "", 0);
    const std::string tar = TarEntry("../evil.mp3", song) + TarEntry("/etc/abs.mp3", song) +
                            TarEntry("./a/./b//c.mp3", song) + std::string(1024, '\0');
    WriteFile(folder, QStringLiteral("crafted.tar"), QByteArray::fromStdString(tar));
    ASSERT_TRUE(Scan(Archives()).Complete());
    EXPECT_EQ(Paths(), (std::vector<std::string>{"", "/crafted.tar", "/crafted.tar/..",
                                                 "/crafted.tar/../evil.mp3", "/crafted.tar/a",
                                                 "/crafted.tar/a/b", "/crafted.tar/a/b/c.mp3",
                                                 "/crafted.tar/etc", "/crafted.tar/etc/abs.mp3"}));
    EXPECT_EQ(Text(Node("/crafted.tar/../evil.mp3"), MP3_Title), "Evil");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("evil.mp3"))));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("crafted.tar")});
}

TEST_F(ArchiveScan, JunkNamesAreSkippedByDefaultAndThePatternsAreKept) {
    const QByteArray song = QByteArray::fromStdString(Mp3Frames(3));
    for (const char* name :
         {"$Recycle.Bin/a.mp3", "System Volume Information/b.mp3", ".Trash-1000/files/c.mp3",
          "lost+found/d.mp3", "@eaDir/e.mp3", "Album/.DS_Store", "Album/Thumbs.db",
          "Album/song.mp3", "Album/song.tmp.mp3"}) {
        WriteFile(folder, QString::fromUtf8(name), song);
    }
    TScanOptions options;
    options.MaskList = QString();
    options.DiskOf = nullptr;
    engine.ScanFolder(tree, folder, options, catalog);
    EXPECT_EQ(Paths(),
              (std::vector<std::string>{"", "/Album", "/Album/song.mp3", "/Album/song.tmp.mp3"}));

    // No defaults and a pattern of one's own: recorded, and an update skips the same.
    options.Excludes = QStringList{QStringLiteral("*.TMP.mp3"), QStringLiteral("lost?found")};
    engine.ScanFolder(tree, folder, options, catalog);
    EXPECT_EQ(tree.Attributes().Value(kScanExcludesAttribute), "*.TMP.mp3/lost?found");
    EXPECT_NE(Node("/$Recycle.Bin/a.mp3"), nullptr);
    EXPECT_NE(Node("/Album/Thumbs.db"), nullptr);
    EXPECT_EQ(Node("/Album/song.tmp.mp3"), nullptr);
    EXPECT_EQ(Node("/lost+found"), nullptr);
    const TScanOptions again = ScanOptionsOf(tree.Attributes());
    EXPECT_EQ(again.ExcludePatterns(), *options.Excludes);
    EXPECT_FALSE(again.Archives);

    // The empty list is a list too: nothing is skipped.
    options.Excludes = QStringList();
    engine.ScanFolder(tree, folder, options, catalog);
    EXPECT_EQ(tree.Attributes().Value(kScanExcludesAttribute, "absent"), "");
    EXPECT_TRUE(ScanOptionsOf(tree.Attributes()).ExcludePatterns().isEmpty());
    EXPECT_EQ(Paths().size(), 17u);

    // Inside archives too, on every component of an entry's path.
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    WriteFile(source, QStringLiteral("Album/@eaDir/thumb.mp3"), song);
    WriteFile(source, QStringLiteral("Album/.DS_Store"), "x");
    RunTool(source, QStringLiteral("zip"),
            {QStringLiteral("-qr"), Archive("mac.zip"), QStringLiteral("Album")});
    Scan(Archives(QString()));
    EXPECT_NE(Node("/mac.zip/Album/01 Intro.mp3"), nullptr);
    EXPECT_EQ(Node("/mac.zip/Album/.DS_Store"), nullptr);
    EXPECT_EQ(Node("/mac.zip/Album/@eaDir"), nullptr);
}

TEST(NamePatterns, MatchWholeNamesWithStarsAndQuestionMarksInEitherCase) {
    const TNameExcluder excluder({QStringLiteral(".Trash-*"), QStringLiteral("a?c"),
                                  QStringLiteral("*x*y*z*"), QStringLiteral("Thumbs.db")});
    EXPECT_TRUE(excluder.Excludes(".Trash-1000"));
    EXPECT_TRUE(excluder.Excludes(".trash-"));
    EXPECT_FALSE(excluder.Excludes("x.Trash-1"));
    EXPECT_TRUE(excluder.Excludes("THUMBS.DB"));
    EXPECT_FALSE(excluder.Excludes("Thumbs.db.bak"));
    EXPECT_TRUE(excluder.Excludes("abc"));
    EXPECT_TRUE(
        excluder.Excludes("a\xC3\xA9"
                          "c"));  // one character, two bytes
    EXPECT_FALSE(excluder.Excludes("ac"));
    EXPECT_TRUE(excluder.Excludes("__x__y__z__"));
    // A name that almost matches many stars stays quick to refuse.
    EXPECT_FALSE(excluder.Excludes(std::string(20000, 'x') + std::string(20000, 'y')));
    EXPECT_FALSE(ExcludePatternRefusal(QStringLiteral("a/b")).isEmpty());
    EXPECT_FALSE(ExcludePatternRefusal(QString()).isEmpty());
    EXPECT_EQ(ExcludeListOfText(ExcludeListText(DefaultExcludePatterns())),
              DefaultExcludePatterns());
}

TEST(EntryBytes, ServeTheKeptStartAndEndOfALongEntryOnly) {
    TEntryBytes bytes;
    bytes.Start(4, 3);
    const std::string data = "0123456789abcdef";
    for (size_t at = 0; at < data.size(); at += 5) {
        bytes.Append(reinterpret_cast<const uint8_t*>(data.data() + at),
                     std::min<size_t>(5, data.size() - at));
    }
    EXPECT_EQ(bytes.Size(), 16u);
    char out[8] = {};
    ASSERT_TRUE(bytes.ReadAt(0, out, 4));
    EXPECT_EQ(std::string(out, 4), "0123");
    ASSERT_TRUE(bytes.ReadAt(13, out, 3));
    EXPECT_EQ(std::string(out, 3), "def");
    EXPECT_FALSE(bytes.ReadAt(3, out, 2));   // into the middle
    EXPECT_FALSE(bytes.ReadAt(14, out, 3));  // past the end
    // A short entry is kept whole, across the two parts.
    bytes.Start(4, 3);
    bytes.Append(reinterpret_cast<const uint8_t*>("abcdefg"), 7);
    ASSERT_TRUE(bytes.ReadAt(2, out, 5));
    EXPECT_EQ(std::string(out, 5), "cdefg");
}

TEST(DiskFacts, AreWrittenReadAndShownAsPeopleSayThem) {
    TCatalogAttributes attributes;
    const TDiskFacts facts{64'000'000'000, 12'400'000'000, QStringLiteral("exfat"),
                           QStringLiteral("MUSIC")};
    RecordDiskFacts(attributes, facts);
    EXPECT_EQ(attributes.Value(kDiskTotalBytesAttribute), "64000000000");
    EXPECT_EQ(RecordedDiskFacts(attributes), facts);
    EXPECT_EQ(DiskSpaceText(facts), QStringLiteral("12.4 GB free of 64 GB"));
    EXPECT_EQ(ByteSizeText(999), QStringLiteral("999 bytes"));
    EXPECT_EQ(ByteSizeText(999'600), QStringLiteral("1 MB"));
    EXPECT_EQ(ByteSizeText(123'456'789'012), QStringLiteral("123 GB"));
    RecordDiskFacts(attributes, std::nullopt);
    EXPECT_TRUE(attributes.IsEmpty());
    attributes.Set(kDiskTotalBytesAttribute, "12x");
    attributes.Set(kDiskFreeBytesAttribute, "1");
    EXPECT_FALSE(RecordedDiskFacts(attributes).has_value());
}

TEST_F(ArchiveScan, AVolumeRootRecordsItsDiskAndAnUpdateMeasuresItAgain) {
    // A scan of a folder below a volume's root records no disk.
    TScanOptions options;
    options.MaskList = kMp3MaskList;  // whatever else the memory file system holds goes
    engine.ScanFolder(tree, folder, options, catalog);
    EXPECT_FALSE(RecordedDiskFacts(tree.Attributes()).has_value());
    const QString root = QStringLiteral("/dev/shm");
    if (!IsVolumeRoot(root)) {
        GTEST_SKIP() << "no memory file system mounted at /dev/shm to scan as a disk";
    }
    engine.ScanFolder(tree, root, options, catalog);
    const std::optional<TDiskFacts> facts = RecordedDiskFacts(tree.Attributes());
    ASSERT_TRUE(facts.has_value());
    const QStorageInfo storage(root);
    EXPECT_EQ(facts->TotalBytes, static_cast<uint64_t>(storage.bytesTotal()));
    EXPECT_EQ(facts->FileSystem, QString::fromUtf8(storage.fileSystemType()));
    // Stale facts of the catalog give way to the disk as the rescan finds it.
    tree.Attributes().Set(kDiskFreeBytesAttribute, "1");
    tree.Attributes().Set(kDiskFileSystemAttribute, "old");
    TCatalogUpdate update = UpdateCatalog(progress, tree, catalog);
    EXPECT_EQ(RecordedDiskFacts(update.Tree->Attributes())->FileSystem, facts->FileSystem);
    // Updated from a folder that is no volume's root, the catalog no longer claims a disk.
    update = UpdateCatalog(progress, tree, catalog, folder);
    EXPECT_FALSE(RecordedDiskFacts(update.Tree->Attributes()).has_value());
}

}  // namespace
