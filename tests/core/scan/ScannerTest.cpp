#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <map>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "core/catalog/ValueFunctions.h"
#include "core/engine/FileInfo.h"
#include "core/scan/FolderSizes.h"
#include "core/scan/MusicMasks.h"
#include "core/scan/ScanWalk.h"
#include "core/tags/MusicTagBuilders.h"
#include "core/tags/TagBuilders.h"
#include "support/FileRights.h"
#include "support/RawNames.h"
#include "support/ScriptedSinks.h"
#include "support/TempDir.h"
#include "support/TreeQueries.h"

using namespace melodrix;
using namespace melodrix::tagbytes;
using melodrix::testing::WriteFile;

namespace {

const QString kMp3Mask = QStringLiteral("\\.MP3\\");

std::string Text(const TCatalogNode* node, int field) {
    return std::string(node->Item().Field(field));
}

class Scanner : public ::testing::Test {
protected:
    void SetUp() override {
        melodrix::testing::UseEnglishLocale();
        ASSERT_TRUE(dir.isValid());
        folder = dir.filePath(QStringLiteral("music"));
        QDir().mkpath(folder);
        catalog = dir.filePath(QStringLiteral("Rock.xml"));
    }
    void TearDown() override { melodrix::testing::UseEnglishLocale(); }

    void Scan(const QString& mask = QString(), bool onlyFolders = false) {
        engine.ScanFolder(tree, folder, mask, onlyFolders, catalog);
    }
    QString Add(const QString& relative, const QByteArray& bytes = QByteArray()) {
        return WriteFile(folder, relative, bytes);
    }
    // The node whose FullPath ends with `suffix`, or nullptr.
    TCatalogNode* Node(const std::string& suffix) const {
        return melodrix::testing::NodeEndingWith(tree, suffix);
    }
    std::vector<std::string> Paths() const {
        return melodrix::testing::SortedPathsAfter(tree, static_cast<size_t>(folder.size()));
    }

    QTemporaryDir dir;
    QString folder;
    QString catalog;
    melodrix::testing::TRecordingProgress progress;
    TFileInfo engine{progress};
    TCatalogTree tree;
};

}  // namespace

TEST_F(Scanner, EmptyFolderGivesTheRootAloneOrNothingWithAMask) {
    Scan();
    ASSERT_EQ(tree.NodeCount(), 1u);
    const TCatalogNode* root = tree.GetFirst();
    EXPECT_EQ(Text(root, FileName), folder.toStdString());
    EXPECT_EQ(Text(root, FullPath), folder.toStdString());
    EXPECT_EQ(Text(root, FileType), "directory");
    EXPECT_EQ(Text(root, DiskName), "Rock");
    EXPECT_EQ(Text(root, FileSize), "0");
    EXPECT_EQ(Text(root, SizePercentage), "100");
    EXPECT_EQ(Text(root, FileTime), "");
    EXPECT_EQ(Text(root, FileNameLength), "");
    EXPECT_TRUE(root->Expanded());
    EXPECT_EQ(progress.events,
              (QStringList{QStringLiteral("show"), QStringLiteral("text:Loading info.."),
                           QStringLiteral("hide")}));

    Scan(kMp3Mask);
    EXPECT_TRUE(tree.IsEmpty());
}

TEST_F(Scanner, MaskKeepsMatchingFilesAndTheFoldersLeadingToThem) {
    Add(QStringLiteral("a.txt"));
    Add(QStringLiteral("noext"));
    Add(QStringLiteral("One/Two/song.Mp3"));
    Add(QStringLiteral("One/Two/cover.jpg"));
    Add(QStringLiteral("One/Other/readme.txt"));
    QDir().mkpath(folder + QStringLiteral("/Empty"));
    Scan(kMp3Mask);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"", "/One", "/One/Two", "/One/Two/song.Mp3"}));

    // Several extensions; a name without extension never passes a list.
    Scan(QStringLiteral("\\.MP3\\.TXT\\"));
    EXPECT_EQ(Paths(), (std::vector<std::string>{"", "/One", "/One/Other", "/One/Other/readme.txt",
                                                 "/One/Two", "/One/Two/song.Mp3", "/a.txt"}));

    // Only a.txt and no MP3 at all: nothing is left.
    QDir(folder + QStringLiteral("/One")).removeRecursively();
    Scan(kMp3Mask);
    EXPECT_TRUE(tree.IsEmpty());
}

TEST_F(Scanner, ItemFieldsAndPathForms) {
    const QString song = Add(QStringLiteral("Band/.Sóng.mp3"), QByteArray(10, 'x'));
    Add(QStringLiteral("Band/archive.tar.gz"), QByteArray(5, 'x'));
    const QDateTime old(QDate(1975, 6, 1), QTime(13, 14, 15));
    utimbuf times{old.toSecsSinceEpoch(), old.toSecsSinceEpoch()};
    ASSERT_EQ(::utime(QFile::encodeName(song).constData(), &times), 0);
    catalog = dir.filePath(QStringLiteral("My.Best.xml"));
    Scan();

    const TCatalogNode* file = Node("/.Sóng.mp3");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Text(file, FullPath), (folder + QStringLiteral("/Band/.Sóng.mp3")).toStdString());
    EXPECT_EQ(Text(file, FileName), ".Sóng.mp3");
    EXPECT_EQ(Text(file, FileExt), "mp3");
    EXPECT_EQ(Text(file, FileType), "file");
    EXPECT_EQ(Text(file, FileSize), "10");
    EXPECT_EQ(Text(file, FileNameLength), "9");  // characters, not bytes
    EXPECT_EQ(Text(file, PathNameLength), std::to_string(folder.size() + 15));
    EXPECT_EQ(Text(file, DiskName), "My");
    EXPECT_EQ(Text(file, FileTime), DateTimeText(old).toStdString());  // before 1980 too
    EXPECT_EQ(Text(file, Description), "");
    EXPECT_EQ(Text(Node("archive.tar.gz"), FileExt), "gz");

    const TCatalogNode* band = Node("/Band");
    EXPECT_EQ(Text(band, FileType), "directory");
    EXPECT_EQ(Text(band, FileExt), "");
    EXPECT_EQ(Text(band, FileSize), "15");
    EXPECT_FALSE(Text(band, FileTime).empty());

    // The folder with a trailing separator gives the same paths below the root.
    const std::string before = Text(file, FullPath);
    folder += QLatin1Char('/');
    Scan();
    EXPECT_EQ(Text(tree.GetFirst(), FileName), folder.toStdString());
    EXPECT_EQ(Text(Node("/.Sóng.mp3"), FullPath), before);
}

TEST_F(Scanner, OnlyFoldersCataloguesFoldersWithoutTotals) {
    Add(QStringLiteral("A/song.mp3"), QByteArray(100, 'x'));
    QDir().mkpath(folder + QStringLiteral("/B/C"));
    Scan(kMp3Mask, true);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"", "/A", "/B", "/B/C"}));
    EXPECT_EQ(Text(tree.GetFirst(), FileSize), "");
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        EXPECT_EQ(Text(node, SizePercentage), "");
    }
}

TEST_F(Scanner, FolderSumsAndSharesOfTheWholeCatalog) {
    Add(QStringLiteral("A/one.mp3"), QByteArray(1000, 'x'));
    Add(QStringLiteral("A/B/two.mp3"), QByteArray(3000, 'x'));
    Add(QStringLiteral("C/empty.mp3"));
    Scan(kMp3Mask);
    EXPECT_EQ(Text(tree.GetFirst(), FileSize), "4000");
    EXPECT_EQ(Text(tree.GetFirst(), SizePercentage), "100");
    EXPECT_EQ(Text(Node("/A"), FileSize), "4000");
    EXPECT_EQ(Text(Node("/A"), SizePercentage), "100.00");
    EXPECT_EQ(Text(Node("/A/B"), FileSize), "3000");
    EXPECT_EQ(Text(Node("/one.mp3"), SizePercentage), "25.00");
    EXPECT_EQ(Text(Node("/two.mp3"), SizePercentage), "75.00");
    EXPECT_EQ(Text(Node("/C"), SizePercentage), "0.00");

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Scan(kMp3Mask);
    EXPECT_EQ(Text(Node("/one.mp3"), SizePercentage), "25,00");
}

TEST_F(Scanner, SharesRoundHalvesAwayFromZero) {
    Add(QStringLiteral("one.mp3"), QByteArray(1, 'x'));
    Add(QStringLiteral("rest.mp3"), QByteArray(799, 'x'));
    Scan(kMp3Mask);
    EXPECT_EQ(Text(Node("/one.mp3"), SizePercentage), "0.13");  // 1 byte of 800
    EXPECT_EQ(Text(Node("/rest.mp3"), SizePercentage), "99.88");
}

TEST_F(Scanner, AllEmptyFilesLeaveSharesEmpty) {
    Add(QStringLiteral("a.mp3"));
    Add(QStringLiteral("D/b.mp3"));
    Scan(kMp3Mask);
    EXPECT_EQ(Text(tree.GetFirst(), SizePercentage), "100");
    EXPECT_EQ(Text(Node("/a.mp3"), SizePercentage), "");
    EXPECT_EQ(Text(Node("/D"), SizePercentage), "");
    EXPECT_EQ(Text(Node("/D"), FileSize), "0");
}

TEST_F(Scanner, FilesBeyondFourGibibytesKeepExactSizes) {
    const QString big = Add(QStringLiteral("big.mp3"));
    ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), 5368709121LL), 0);  // sparse
    Add(QStringLiteral("small.mp3"), QByteArray(7, 'x'));
    Scan(kMp3Mask);
    EXPECT_EQ(Text(Node("/big.mp3"), FileSize), "5368709121");
    EXPECT_EQ(Text(tree.GetFirst(), FileSize), "5368709128");
}

TEST_F(Scanner, LinksAreCataloguedButLinkedFoldersAreNotEntered) {
    Add(QStringLiteral("real/song.mp3"), QByteArray(20, 'x'));
    ASSERT_TRUE(QFile::link(folder, folder + QStringLiteral("/loop")));
    ASSERT_TRUE(QFile::link(dir.path(), folder + QStringLiteral("/outside")));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/real/song.mp3"),
                            folder + QStringLiteral("/alias.mp3")));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/gone"), folder + QStringLiteral("/dead")));
    Scan();
    EXPECT_EQ(Paths(), (std::vector<std::string>{"", "/alias.mp3", "/dead", "/loop", "/outside",
                                                 "/real", "/real/song.mp3"}));
    EXPECT_EQ(Text(Node("/loop"), FileType), "directory");
    EXPECT_EQ(Text(Node("/alias.mp3"), FileType), "file");
    EXPECT_EQ(Text(Node("/alias.mp3"), FileSize), "20");
    EXPECT_EQ(Text(Node("/dead"), FileType), "file");
    // Not the length of the name the link holds.
    EXPECT_EQ(Text(Node("/dead"), FileSize), "0");
}

TEST_F(Scanner, WhatCannotBeReadIsNamedAndTheWalkGoesOn) {
    const std::string v1 = ID3v1Record("Title", "Artist", "", "", "", 1);
    Add(QStringLiteral("locked/hidden.mp3"), QByteArray::fromStdString(v1));
    Add(QStringLiteral("open/song.mp3"), QByteArray::fromStdString(v1));
    const QString sealed = Add(QStringLiteral("open/sealed.mp3"), QByteArray::fromStdString(v1));
    const QString locked = folder + QStringLiteral("/locked");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(sealed).constData(), 0), 0);
    TScanOutcome outcome;
    {
        const melodrix::testing::TFileRightsAsBitsSay rights;
        ASSERT_TRUE(rights.Holds());
        outcome = engine.ScanFolder(tree, folder, kMp3Mask, false, catalog);
    }
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    ::chmod(QFile::encodeName(sealed).constData(), 0644);

    // The folder stays, although the mask would prune a folder without music: what it holds
    // is not known.
    EXPECT_EQ(Paths(), (std::vector<std::string>{"", "/locked", "/open", "/open/sealed.mp3",
                                                 "/open/song.mp3"}));
    EXPECT_FALSE(outcome.Complete());
    EXPECT_TRUE(outcome.Failure.isEmpty());
    ASSERT_EQ(outcome.UnlistedFolders.size(), 1u);
    EXPECT_EQ(outcome.UnlistedFolders[0].Path, locked);
    EXPECT_EQ(outcome.UnlistedFolders[0].FullPath, locked.toStdString());
    EXPECT_EQ(outcome.UnlistedFolders[0].Error, QStringLiteral("Permission denied"));
    ASSERT_EQ(outcome.UnreadFiles.size(), 1u);
    EXPECT_EQ(outcome.UnreadFiles[0].Path, sealed);
    EXPECT_EQ(outcome.UnreadFiles[0].FullPath, sealed.toStdString());
    EXPECT_TRUE(outcome.UnreadFiles[0].Examined);
    EXPECT_EQ(Text(Node("/sealed.mp3"), FileSize), std::to_string(v1.size()));
    EXPECT_EQ(Text(Node("/sealed.mp3"), MP3_Title), "");
    EXPECT_EQ(Text(Node("/song.mp3"), MP3_Title), "Title");
    EXPECT_EQ(
        ScanProblemLines(outcome),
        (QStringList{QStringLiteral("Could not list the folder %1: Permission denied").arg(locked),
                     QStringLiteral("Could not read the file %1: Permission denied").arg(sealed)}));

    // Readable again, the same folder scans whole.
    EXPECT_TRUE(engine.ScanFolder(tree, folder, kMp3Mask, false, catalog).Complete());
    EXPECT_NE(Node("/locked/hidden.mp3"), nullptr);
}

TEST_F(Scanner, TagPrecedenceIsID3v1ThenID3v2ThenAPEv2) {
    const std::string v2 = ID3v2Tag(3, Frame23("TIT2", Latin1Body("V2 Title")) +
                                           Frame23("TPE1", Latin1Body("V2 Artist")) +
                                           Frame23("TCON", Latin1Body("Jazz")));
    const std::string v1 = ID3v1Record("V1 Title", "V1 Artist", "V1 Album", "1999", "", 17);
    const std::string v1BadGenre = ID3v1Record("Odd", "", "", "", "", 200);
    const std::string ape = ApeTag(
        {ApeItem("Title", "Ape Title"), ApeItem("Genre", "Folk"), ApeItem("Year", "2001")}, false);
    const std::string audio = AudioLike(400);
    auto bytes = [](const std::string& s) { return QByteArray::fromStdString(s); };
    Add(QStringLiteral("both.mp3"), bytes(v2 + audio + v1));
    Add(QStringLiteral("badgenre.mp3"), bytes(v2 + audio + v1BadGenre));
    Add(QStringLiteral("v2.MP3"), bytes(v2 + audio));
    Add(QStringLiteral("ape.mp3"), bytes(audio + ape));
    Add(QStringLiteral("none.mp3"), bytes(audio));
    Add(QStringLiteral("tagged.wav"), bytes(audio + v1));
    Scan();

    const TCatalogNode* both = Node("/both.mp3");
    EXPECT_EQ(Text(both, MP3_Title), "V1 Title");
    EXPECT_EQ(Text(both, MP3_Album), "V1 Album");
    EXPECT_EQ(Text(both, MP3_Year), "1999");
    EXPECT_EQ(Text(both, MP3_Genre), "Rock");
    EXPECT_EQ(Text(Node("/badgenre.mp3"), MP3_Title), "Odd");
    EXPECT_EQ(Text(Node("/badgenre.mp3"), MP3_Genre), "");
    EXPECT_EQ(Text(Node("/v2.MP3"), MP3_Artist), "V2 Artist");
    EXPECT_EQ(Text(Node("/v2.MP3"), MP3_Genre), "Jazz");
    EXPECT_EQ(Text(Node("/ape.mp3"), MP3_Title), "Ape Title");
    EXPECT_EQ(Text(Node("/ape.mp3"), MP3_Genre), "Folk");
    EXPECT_EQ(Text(Node("/ape.mp3"), MP3_Year), "2001");
    for (const char* name : {"/none.mp3", "/tagged.wav"}) {
        for (int field = MP3_Title; field <= MP3_Genre; ++field) {
            EXPECT_EQ(Text(Node(name), field), "") << name << " " << field;
        }
    }
}

TEST_F(Scanner, NamesThatAreNotUtf8AreReadByTheirBytesAndShownAsWindows1252) {
    using namespace melodrix::testing;
    const std::string tag = ID3v1Record("Latin Song", "Band", "", "1999", "", 17);
    ASSERT_TRUE(WriteRawFile(RawPath(folder, "Caf\xE9.mp3"), std::string(50, 'x') + tag));
    ASSERT_TRUE(MakeRawDirectory(RawPath(folder, "Gr\xFCn")));
    ASSERT_TRUE(WriteRawFile(RawPath(folder, "Gr\xFCn/\xE9t\xE9.mp3"), tag));
    Add(QString::fromUtf8("\xC3\xBC.mp3"), QByteArray::fromStdString(tag));
    Scan(kMp3Mask);

    const TCatalogNode* cafe = Node("/Caf\xC3\xA9.mp3");
    ASSERT_NE(cafe, nullptr);
    EXPECT_EQ(Text(cafe, FileName), "Caf\xC3\xA9.mp3");
    EXPECT_EQ(Text(cafe, FileNameLength), "8");
    EXPECT_EQ(Text(cafe, FileExt), "mp3");
    EXPECT_EQ(Text(cafe, FileSize), "178");
    EXPECT_EQ(Text(cafe, MP3_Title), "Latin Song");
    EXPECT_EQ(Text(cafe, MP3_Artist), "Band");

    const TCatalogNode* ete = Node("/Gr\xC3\xBCn/\xC3\xA9t\xC3\xA9.mp3");
    ASSERT_NE(ete, nullptr);
    EXPECT_EQ(Text(ete, FileName), "\xC3\xA9t\xC3\xA9.mp3");
    EXPECT_EQ(Text(ete, MP3_Title), "Latin Song");
    EXPECT_EQ(Text(ete->Parent(), FileName), "Gr\xC3\xBCn");
    EXPECT_EQ(Text(Node("/\xC3\xBC.mp3"), MP3_Title), "Latin Song");
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        EXPECT_EQ(Text(node, FullPath).find("\xEF\xBF\xBD"), std::string::npos);
    }

    // A folder given by its text is found by its bytes.
    const QString latinFolder = folder + QString::fromUtf8("/Gr\xC3\xBCn");
    engine.ScanFolder(tree, latinFolder, kMp3Mask, false, catalog);
    ASSERT_EQ(tree.NodeCount(), 2u);
    EXPECT_EQ(Text(tree.GetFirst()->FirstChild(), FullPath),
              latinFolder.toStdString() + "/\xC3\xA9t\xC3\xA9.mp3");
    EXPECT_EQ(Text(tree.GetFirst()->FirstChild(), MP3_Title), "Latin Song");
}

TEST_F(Scanner, EachMusicFormatIsReadByItsOwnReaderAndTheMaskChoosesTheFormats) {
    const std::string comments =
        FlacBlock(4, VorbisCommentList({"TITLE=Flac", "DATE=2001-02-03"}), true);
    Add(QStringLiteral("a.FLAC"), QByteArray::fromStdString(FlacFile({comments})));
    Add(QStringLiteral("b.opus"), QByteArray::fromStdString(OggStream(
                                      1, {OpusHead(), OpusTags({"TITLE=Opus"}), AudioLike(50)})));
    Add(QStringLiteral("c.m4b"),
        QByteArray::fromStdString(Mp4File({TextItem("\xA9nam", "Book")}, false)));
    // An MP3 reader would find this ID3v1 tag; the FLAC reader does not look for one.
    Add(QStringLiteral("d.flac"),
        QByteArray::fromStdString(AudioLike(40) + ID3v1Record("V1", "", "", "", "", 1)));
    Add(QStringLiteral("e.mp3"),
        QByteArray::fromStdString(AudioLike(40) + ID3v1Record("Mp3", "", "", "", "", 1)));
    Add(QStringLiteral("f.wav"), "RIFF");

    Scan(kMp3MaskList);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"", "/e.mp3"}));
    Scan(kAllMusicMaskList);
    EXPECT_EQ(Paths(),
              (std::vector<std::string>{"", "/a.FLAC", "/b.opus", "/c.m4b", "/d.flac", "/e.mp3"}));
    EXPECT_EQ(Text(Node("/a.FLAC"), MP3_Title), "Flac");
    EXPECT_EQ(Text(Node("/a.FLAC"), MP3_Year), "2001");
    EXPECT_EQ(Text(Node("/a.FLAC"), FileExt), "FLAC");  // the file's own extension
    EXPECT_EQ(Text(Node("/b.opus"), MP3_Title), "Opus");
    EXPECT_EQ(Text(Node("/c.m4b"), MP3_Title), "Book");
    EXPECT_EQ(Text(Node("/d.flac"), MP3_Title), "");
    EXPECT_EQ(Text(Node("/e.mp3"), MP3_Title), "Mp3");
    // Without a mask every file is listed, and the music among them still gets its tags.
    Scan();
    EXPECT_EQ(Text(Node("/b.opus"), MP3_Title), "Opus");
    EXPECT_EQ(Text(Node("/f.wav"), MP3_Title), "");
}

// Files written by real encoders: their track, disc, album artist and audio properties land in
// the fields after the first 17, and each folder's playing time is the sum below it.
TEST_F(Scanner, MusicFilesGetTrackDiscAlbumArtistAndAudioPropertiesFoldersTheirPlayingTime) {
    const auto copy = [this](const char* name, const QString& to) {
        const QString target = QDir(folder).filePath(to);
        QDir().mkpath(QFileInfo(target).path());
        ASSERT_TRUE(QFile::copy(
            QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/") + QString::fromLatin1(name), target));
    };
    copy("tagged-vbr.mp3", QStringLiteral("Album/CD1/01.mp3"));
    copy("tagged-vbr.mp3", QStringLiteral("Album/CD1/02.mp3"));
    copy("picture-first.flac", QStringLiteral("Album/CD2/03.flac"));
    copy("moov-after-audio.m4a", QStringLiteral("Album/05.m4a"));
    // Broken audio: the tags stay, the properties are left empty.
    Add(QStringLiteral("Album/broken.mp3"),
        QByteArray::fromStdString(AudioLike(300) + ID3v1Record("Only Tags", "", "", "", "", 1)));
    Add(QStringLiteral("Docs/notes.txt"), "no music");
    Scan();

    const TCatalogNode* mp3 = Node("/01.mp3");
    ASSERT_TRUE(mp3);
    // The six fields from ID3v1, which wins; the fields it has not from the ID3v2 tag.
    EXPECT_EQ(Text(mp3, MP3_Title), "Lame Title");
    EXPECT_EQ(Text(mp3, MP3_Track), "2/9");
    EXPECT_EQ(Text(mp3, MP3_Disc), "1/2");
    EXPECT_EQ(Text(mp3, MP3_AlbumArtist), "Lame Band");
    EXPECT_EQ(Text(mp3, AudioDuration), "250");
    EXPECT_EQ(Text(mp3, AudioSampleRate), "22050");
    EXPECT_EQ(Text(mp3, AudioChannels), "1");
    EXPECT_EQ(Text(mp3, AudioCodec), "MP3");
    EXPECT_EQ(Text(mp3, AudioMode), "VBR");
    EXPECT_FALSE(Text(mp3, AudioBitrate).empty());

    const TCatalogNode* flac = Node("/03.flac");
    EXPECT_EQ(Text(flac, MP3_Track), "3");
    EXPECT_EQ(Text(flac, AudioCodec), "FLAC");
    EXPECT_EQ(Text(flac, AudioMode), "lossless");
    const TCatalogNode* m4a = Node("/05.m4a");
    EXPECT_EQ(Text(m4a, MP3_Track), "5/9");
    EXPECT_EQ(Text(m4a, MP3_AlbumArtist), "Album Artist Only");
    EXPECT_EQ(Text(m4a, AudioCodec), "AAC");
    EXPECT_EQ(Text(m4a, AudioDuration), "251");

    const TCatalogNode* broken = Node("/broken.mp3");
    EXPECT_EQ(Text(broken, MP3_Title), "Only Tags");
    EXPECT_EQ(Text(broken, MP3_Track), "");
    for (int field = AudioDuration; field <= AudioMode; ++field) {
        EXPECT_EQ(Text(broken, field), "") << FieldNames[static_cast<size_t>(field)];
    }
    EXPECT_EQ(Text(Node("/notes.txt"), AudioDuration), "");

    EXPECT_EQ(Text(Node("/Album/CD1"), AudioDuration), "500");
    EXPECT_EQ(Text(Node("/Album/CD2"), AudioDuration), "250");
    EXPECT_EQ(Text(Node("/Album"), AudioDuration), "1001");
    EXPECT_EQ(Text(tree.GetFirst(), AudioDuration), "1001");
    EXPECT_EQ(Text(Node("/Docs"), AudioDuration), "") << "no file below has a playing time";
    EXPECT_EQ(Text(Node("/Docs"), AudioCodec), "");

    // Stored and read back, the fields are the same; sums are made again after an edit
    // the way a scan makes them.
    engine.SaveCatalogTree(tree, catalog);
    TCatalogTree reread;
    engine.OpenCatalogTree(catalog, reread);
    const TCatalogNode* again = reread.GetFirst();
    for (const TCatalogNode* node = tree.GetFirst(); node && again;
         node = tree.GetNext(node), again = reread.GetNext(again)) {
        for (int field = 0; field < FieldCount; ++field) {
            EXPECT_EQ(node->Item().Field(field), again->Item().Field(field))
                << Text(node, FullPath) << " " << FieldNames[static_cast<size_t>(field)];
        }
    }
    TCatalogNode* cd2 = Node("/Album/CD2");
    tree.DeleteNode(cd2);
    ComputeFolderSizes(tree);
    EXPECT_EQ(Text(Node("/Album"), AudioDuration), "751");
    EXPECT_EQ(Text(tree.GetFirst(), AudioDuration), "751");
}

TEST_F(Scanner, ATreeOfManyFoldersIsBuiltInTheOrderEachFolderIsListed) {
    // More entries than the walk hands over at once, with a folder that holds nothing, files
    // the mask leaves out and a linked folder among them.
    for (int a = 0; a < 30; ++a) {
        const QString artist = QStringLiteral("artist %1/").arg(a);
        QDir(folder).mkpath(artist + QStringLiteral("empty"));
        for (int b = 0; b < 3; ++b) {
            for (int t = 0; t < 12; ++t) {
                Add(artist + QStringLiteral("album %1-%2/track %3.mp3").arg(a).arg(b).arg(t),
                    QByteArray(10 + t, 'x'));
            }
            Add(artist + QStringLiteral("album %1-%2/cover.jpg").arg(a).arg(b), QByteArray(7, 'x'));
        }
    }
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/artist 0"),
                            folder + QStringLiteral("/artist 1/link")));
    for (const bool masked : {false, true}) {
        SCOPED_TRACE(masked ? "masked" : "all files");
        // With the mask, folders that end up holding no file are left out.
        const auto kept = [masked](const TScanEntry& entry) {
            return !masked || entry.name.ends_with(".mp3") ||
                   (entry.isDirectory && !entry.isLink && entry.name != "empty");
        };
        Scan(masked ? kMp3Mask : QString());
        size_t items = 0;
        for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node), ++items) {
            const std::string path = Text(node, FullPath);
            const QString name = QString::fromStdString(path);
            std::vector<std::string> expected;
            std::vector<TScanEntry> listed;
            if (QFileInfo(name).isDir() && !QFileInfo(name).isSymLink()) {
                ASSERT_TRUE(ListScanDirectory(path + '/', listed));
            }
            for (const TScanEntry& entry : listed) {
                if (kept(entry)) {
                    expected.push_back(path + '/' + entry.name);
                }
            }
            std::vector<std::string> children;
            for (TCatalogNode* child = node->FirstChild(); child; child = child->NextSibling()) {
                children.push_back(Text(child, FullPath));
            }
            EXPECT_EQ(children, expected) << path;
        }
        // The root; per artist its folder, the empty one unless masked, three albums of twelve
        // songs and a cover; and the link unless masked.
        EXPECT_EQ(items, masked ? 1 + 30 * (1 + 3 * 13) : 1 + 30 * (2 + 3 * 14) + 1);
    }
}

TEST_F(Scanner, AWalkLeftEarlyStopsWhileItStillHasFoldersToList) {
    // Far more entries than the walk may hand over before the first is taken.
    for (int f = 0; f < 8; ++f) {
        for (int n = 0; n < 800; ++n) {
            Add(QStringLiteral("folder %1/file %2.txt").arg(f).arg(n));
        }
    }
    TWalkListing listing;
    {
        TScanWalk walk(QFile::encodeName(folder).toStdString() + '/', QString(), false);
        walk.Next(listing, [] {});
    }  // returns only once the walk's thread has ended
    EXPECT_EQ(listing.entries.size(), 8u);
}

namespace {

// The names of the entries of `directory` and of the folders below it (links not entered), a
// directory before the folders in it, as the walk hands them over.
void ListDepthFirst(const std::string& directory, std::vector<std::vector<std::string>>& out) {
    std::vector<TScanEntry> entries;
    ListScanDirectory(directory, entries);
    std::vector<std::string>& names = out.emplace_back();
    for (const TScanEntry& entry : entries) {
        names.push_back(entry.name);
    }
    for (const TScanEntry& entry : entries) {
        if (entry.isDirectory && !entry.isLink) {
            ListDepthFirst(directory + entry.name + '/', out);
        }
    }
}

}  // namespace

TEST_F(Scanner, AWalkThatKeepsTheCallerWaitingHandsOverEveryListingInOrder) {
    for (int f = 0; f < 6; ++f) {
        for (int n = 0; n < 400; ++n) {
            Add(QStringLiteral("folder %1/sub %2/file %3.txt").arg(f).arg(n % 3).arg(n));
        }
    }
    const std::string root = QFile::encodeName(folder).toStdString() + '/';
    std::vector<std::vector<std::string>> expected;
    ListDepthFirst(root, expected);
    int waits = 0;
    // The walk is seldom ahead of a caller that does nothing else; a few tries see it behind.
    for (int attempt = 0; attempt < 20 && waits == 0; ++attempt) {
        TScanWalk walk(root, QString(), false, true, std::chrono::milliseconds(0));
        std::vector<std::vector<std::string>> handed;
        // Each listing names its folder by the number the folder's entry was given before.
        std::map<std::string, size_t> numbers{{root, 0}};
        TWalkListing listing;
        while (walk.Next(listing, [&] { ++waits; })) {
            ASSERT_EQ(numbers.count(listing.directory), 1u) << listing.directory;
            EXPECT_EQ(listing.folder, numbers[listing.directory]) << listing.directory;
            std::vector<std::string>& names = handed.emplace_back();
            for (const TWalkEntry& walked : listing.entries) {
                names.push_back(walked.entry.name);
                if (walked.listedAs != 0) {
                    numbers[listing.directory + walked.entry.name + '/'] = walked.listedAs;
                }
            }
        }
        ASSERT_EQ(handed, expected);
        EXPECT_EQ(numbers.size(), expected.size());
        TWalkListing beyond;
        EXPECT_FALSE(walk.Next(beyond, [] {}));
    }
    EXPECT_GT(waits, 0);
}

TEST_F(Scanner, AScanCutShortKeepsWhatWasBuiltWithoutShares) {
    // Progress that fails at once, as a sink that gives up would: the scan ends there.
    class TFailingProgress final : public IProgressSink {
    public:
        void ShowProgress(bool, bool) override {}
        void SetProgressText(const QString&) override {}
        void SetProgressCount(uint64_t) override { throw std::runtime_error("gone"); }
    };
    for (int n = 0; n < 3000; ++n) {
        Add(QStringLiteral("folder %1/song %2.mp3").arg(n % 5).arg(n), QByteArray(100, 'x'));
    }
    TFailingProgress failing;
    TFileInfo cutShort{failing};
    const TScanOutcome outcome = cutShort.ScanFolder(tree, folder, QString(), false, catalog);
    EXPECT_EQ(outcome.Failure, QStringLiteral("gone"));
    EXPECT_FALSE(outcome.Complete());
    ASSERT_GE(tree.NodeCount(), 2u);
    EXPECT_LT(tree.NodeCount(), 3007u);
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        EXPECT_EQ(Text(node, SizePercentage), "") << Text(node, FullPath);
    }
    EXPECT_EQ(Text(tree.GetFirst()->FirstChild(), FileType), "directory");
}
