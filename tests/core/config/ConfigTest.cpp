#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "core/catalog/FileItem.h"
#include "core/config/Config.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// The default file, written out by hand: one line, tabs before the elements. The first 17
// columns are those every configuration file has had; the others follow them.
const std::string kFirstColumnsText =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<config versionNo=\"Vellumdex V4\">"
    "\t<frame max=\"True\" left=\"0\" top=\"0\" height=\"600\" width=\"800\">"
    "\t\t<plLeft width=\"308\" col1=\"127\" col2=\"106\" col3=\"76\"/>"
    "\t\t<plHint height=\"262\" col1=\"139\" col2=\"139\"/>"
    "\t</frame>"
    "\t<nodes>"
    "\t\t<node Name=\"FileName\" Visible=\"True\" Index=\"0\" DefaultExport=\"True\" Width=\"172\" "
    "ReadOnly=\"False\" Align=\"left\"/>"
    "\t\t<node Name=\"MP3_Title\" Visible=\"True\" Index=\"1\" DefaultExport=\"True\" "
    "Width=\"143\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"MP3_Artist\" Visible=\"True\" Index=\"2\" DefaultExport=\"True\" "
    "Width=\"138\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"MP3_Album\" Visible=\"True\" Index=\"3\" DefaultExport=\"True\" "
    "Width=\"111\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"MP3_Year\" Visible=\"True\" Index=\"4\" DefaultExport=\"True\" Width=\"80\" "
    "ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"MP3_Comment\" Visible=\"True\" Index=\"5\" DefaultExport=\"True\" "
    "Width=\"106\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"MP3_Genre\" Visible=\"True\" Index=\"6\" DefaultExport=\"True\" "
    "Width=\"100\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"FullPath\" Visible=\"True\" Index=\"7\" DefaultExport=\"True\" Width=\"173\" "
    "ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"FileSize\" Visible=\"True\" Index=\"8\" DefaultExport=\"True\" Width=\"84\" "
    "ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"FileTime\" Visible=\"True\" Index=\"9\" DefaultExport=\"True\" Width=\"112\" "
    "ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"FileExt\" Visible=\"True\" Index=\"10\" DefaultExport=\"True\" Width=\"66\" "
    "ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"FileType\" Visible=\"False\" Index=\"11\" DefaultExport=\"True\" "
    "Width=\"66\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"Description\" Visible=\"True\" Index=\"12\" DefaultExport=\"True\" "
    "Width=\"124\" ReadOnly=\"False\" Align=\"left\"/>"
    "\t\t<node Name=\"FileNameLength\" Visible=\"False\" Index=\"13\" DefaultExport=\"False\" "
    "Width=\"100\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"PathNameLength\" Visible=\"False\" Index=\"14\" DefaultExport=\"False\" "
    "Width=\"100\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"SizePercentage\" Visible=\"False\" Index=\"15\" DefaultExport=\"False\" "
    "Width=\"100\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"DiskName\" Visible=\"True\" Index=\"16\" DefaultExport=\"True\" Width=\"66\" "
    "ReadOnly=\"True\" Align=\"left\"/>";
const std::string kDefaultText =
    kFirstColumnsText +
    "\t\t<node Name=\"MP3_Track\" Visible=\"True\" Index=\"17\" DefaultExport=\"False\" "
    "Width=\"80\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"MP3_Disc\" Visible=\"False\" Index=\"18\" DefaultExport=\"False\" "
    "Width=\"75\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"MP3_AlbumArtist\" Visible=\"False\" Index=\"19\" DefaultExport=\"False\" "
    "Width=\"125\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"AudioDuration\" Visible=\"True\" Index=\"20\" DefaultExport=\"False\" "
    "Width=\"100\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"AudioBitrate\" Visible=\"True\" Index=\"21\" DefaultExport=\"False\" "
    "Width=\"90\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"AudioSampleRate\" Visible=\"False\" Index=\"22\" DefaultExport=\"False\" "
    "Width=\"120\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"AudioChannels\" Visible=\"False\" Index=\"23\" DefaultExport=\"False\" "
    "Width=\"105\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"AudioCodec\" Visible=\"False\" Index=\"24\" DefaultExport=\"False\" "
    "Width=\"85\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"AudioMode\" Visible=\"False\" Index=\"25\" DefaultExport=\"False\" "
    "Width=\"85\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"ID3Mismatch\" Visible=\"False\" Index=\"26\" DefaultExport=\"False\" "
    "Width=\"100\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t</nodes>"
    "</config>";

QString ConfigPath(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("VellumdexConfig.xml"));
}

}  // namespace

TEST(Config, AMissingFileIsWrittenFromTheDefaultTextByteForByte) {
    QTemporaryDir dir;
    EXPECT_EQ(DefaultConfigText(), kDefaultText);
    TConfig config(dir.path());
    EXPECT_EQ(config.ConfigFilePath(), ConfigPath(dir));
    EXPECT_EQ(ReadFile(ConfigPath(dir)).toStdString(), kDefaultText);
    EXPECT_FALSE(config.UsedFallback());

    // The default layout as the bindings read it.
    const TXMLConfigType root = config.ConfigRoot();
    EXPECT_EQ(root.VersionNo(), QStringLiteral("Vellumdex V4"));
    EXPECT_TRUE(root.Frame().Max());
    EXPECT_EQ(root.Frame().Height(), 600);
    EXPECT_EQ(root.Frame().Width(), 800);
    EXPECT_EQ(root.Frame().PlLeft().Width(), 308);
    EXPECT_EQ(root.Frame().PlLeft().Col3(), 76);
    EXPECT_EQ(root.Frame().PlHint().Height(), 262);
    EXPECT_EQ(root.Frame().PlHint().Col2(), 139);
    ASSERT_EQ(root.Nodes().Count(), FieldCount);
    QStringList hidden;
    for (const TColumnSpec& column : config.Columns()) {
        if (!column.Visible) {
            hidden << column.Name;
        }
        EXPECT_EQ(column.DisplayPosition, column.Index);
        EXPECT_EQ(FieldNames[static_cast<size_t>(column.Field)], column.Name.toStdString());
    }
    EXPECT_EQ(hidden,
              (QStringList{QStringLiteral("FileType"), QStringLiteral("FileNameLength"),
                           QStringLiteral("PathNameLength"), QStringLiteral("SizePercentage"),
                           QStringLiteral("MP3_Disc"), QStringLiteral("MP3_AlbumArtist"),
                           QStringLiteral("AudioSampleRate"), QStringLiteral("AudioChannels"),
                           QStringLiteral("AudioCodec"), QStringLiteral("AudioMode"),
                           QStringLiteral("ID3Mismatch")}));
}

TEST(Config, AFileWithTheFirstSeventeenColumnsGetsTheOthersWithTheirDefaults) {
    QTemporaryDir dir;
    // An older file: the user moved DiskName first and hid FullPath.
    std::string older = kFirstColumnsText + "\t</nodes></config>";
    const auto change = [&older](const std::string& from, const std::string& to) {
        older.replace(older.find(from), from.size(), to);
    };
    change("Name=\"FullPath\" Visible=\"True\"", "Name=\"FullPath\" Visible=\"False\"");
    change("Index=\"16\"", "Index=\"-1\"");
    WriteFile(dir.path(), QStringLiteral("VellumdexConfig.xml"), QByteArray::fromStdString(older));
    TConfig config(dir.path());
    EXPECT_FALSE(config.UsedFallback());
    EXPECT_EQ(ReadFile(ConfigPath(dir)).toStdString(), older) << "nothing written at load";
    const std::vector<TColumnSpec> columns = config.Columns();
    ASSERT_EQ(columns.size(), static_cast<size_t>(FieldCount));
    EXPECT_FALSE(columns[7].Visible) << "the user's own choice stays";
    EXPECT_EQ(columns[16].DisplayPosition, 0);
    EXPECT_EQ(columns[17].Name, QStringLiteral("MP3_Track"));
    EXPECT_EQ(columns[17].Field, MP3_Track);
    EXPECT_TRUE(columns[17].Visible);
    EXPECT_EQ(columns[17].Align, QStringLiteral("right"));
    EXPECT_EQ(columns[20].Field, AudioDuration);
    EXPECT_TRUE(columns[20].Visible);
    EXPECT_FALSE(columns[25].Visible);
    EXPECT_EQ(columns[25].DisplayPosition, 25) << "the added ones come after the file's own";
    // Saved, the file holds them, and reads the same again.
    config.SaveConfig();
    TConfig reread(dir.path());
    EXPECT_EQ(reread.ConfigRoot().Nodes().Count(), FieldCount);
    EXPECT_EQ(reread.Columns()[25].Name, QStringLiteral("AudioMode"));
}

TEST(Config, AnExistingFileIsUsedAsItIs) {
    QTemporaryDir dir;
    const QByteArray own =
        "<config><frame max=\"False\" left=\"5\"><plLeft width=\"1\"/><plHint/></frame>"
        "<nodes><node Name=\"Description\" Width=\"50\"/></nodes></config>";
    WriteFile(dir.path(), QStringLiteral("VellumdexConfig.xml"), own);
    TConfig config(dir.path());
    EXPECT_FALSE(config.UsedFallback());
    EXPECT_EQ(ReadFile(ConfigPath(dir)), own) << "never compared with the default or repaired";
    const TXMLFrameType frame = config.ConfigRoot().Frame();
    EXPECT_FALSE(frame.Max());
    EXPECT_EQ(frame.Left(), 5);
    EXPECT_EQ(frame.PlLeft().Width(), 1);
    // Missing attributes read as their defaults; a node's follow its field's default column.
    EXPECT_EQ(frame.Top(), 0);
    EXPECT_EQ(frame.Height(), 600);
    EXPECT_EQ(frame.PlLeft().Col1(), 127);
    EXPECT_EQ(frame.PlHint().Height(), 262);
    const TXMLNodeType node = config.ConfigRoot().Nodes().Node(0);
    EXPECT_EQ(node.Width(), 50);
    EXPECT_FALSE(node.ReadOnly()) << "Description is editable by default";
    EXPECT_TRUE(node.Visible());
    EXPECT_EQ(node.Index(), 0);
    EXPECT_EQ(node.Align(), QStringLiteral("left"));
    EXPECT_EQ(config.ConfigRoot().VersionNo(), QString());
    // The columns added after the first 17 follow the file's own.
    EXPECT_EQ(config.ConfigRoot().Nodes().Node(1).Name(), QStringLiteral("MP3_Track"));
    const int count = config.ConfigRoot().Nodes().Count();
    EXPECT_EQ(count, 1 + FieldCount - BasicFieldCount);
    EXPECT_FALSE(config.ConfigRoot().Nodes().Node(count).XmlNode()) << "past the end: no node";
    EXPECT_EQ(config.ConfigRoot().Nodes().Node(count).Name(), QString());
}

TEST(Config, SettersChangeTheDocumentAndSaveWritesItWithoutDeclaration) {
    QTemporaryDir dir;
    {
        TConfig config(dir.path());
        TXMLFrameType frame = config.ConfigRoot().Frame();
        frame.SetMax(false);
        frame.SetLeft(-12);
        frame.SetWidth(1024);
        frame.PlLeft().SetCol2(99);
        frame.PlHint().SetHeight(300);
        TXMLNodeType description = config.ConfigRoot().Nodes().Node(12);
        description.SetReadOnly(true);
        description.SetWidth(222);
        description.SetVisible(false);
        description.SetIndex(0);
        config.ConfigRoot().Nodes().Node(0).SetIndex(12);
        config.ConfigRoot().Nodes().Node(16).SetAlign(QStringLiteral("Right"));
        config.ConfigRoot().Nodes().Node(5).SetName(QString::fromUtf8("Caf\xC3\xA9 & <x>"));
        EXPECT_FALSE(frame.Max()) << "readers see setter changes before any save";
        EXPECT_EQ(ReadFile(ConfigPath(dir)).toStdString(), kDefaultText) << "not saved yet";
        config.SaveConfig();
    }
    const QByteArray saved = ReadFile(ConfigPath(dir));
    EXPECT_TRUE(saved.startsWith("<config versionNo=\"Vellumdex V4\"><frame max=\"False\""))
        << saved.left(80).toStdString();
    EXPECT_FALSE(saved.contains("<?xml"));
    EXPECT_FALSE(saved.endsWith('\n'));
    EXPECT_TRUE(saved.contains("Caf\xC3\xA9 &amp; &lt;x>")) << "UTF-8, escaped";

    TConfig reread(dir.path());
    EXPECT_FALSE(reread.UsedFallback());
    const TXMLFrameType frame = reread.ConfigRoot().Frame();
    EXPECT_FALSE(frame.Max());
    EXPECT_EQ(frame.Left(), -12);
    EXPECT_EQ(frame.Width(), 1024);
    EXPECT_EQ(frame.PlLeft().Col2(), 99);
    EXPECT_EQ(frame.PlHint().Height(), 300);
    const TXMLNodeType description = reread.ConfigRoot().Nodes().Node(12);
    EXPECT_TRUE(description.ReadOnly());
    EXPECT_EQ(description.Width(), 222);
    EXPECT_FALSE(description.Visible());
    EXPECT_EQ(description.Name(), QStringLiteral("Description"));
    EXPECT_EQ(reread.ConfigRoot().Nodes().Node(16).Align(), QStringLiteral("Right"));
    EXPECT_EQ(reread.ConfigRoot().Nodes().Node(5).Name(), QString::fromUtf8("Caf\xC3\xA9 & <x>"));
    const std::vector<TColumnSpec> columns = reread.Columns();
    EXPECT_EQ(columns[5].Field, FileName) << "a name that is no field shows FileName";
    EXPECT_EQ(columns[12].DisplayPosition, 0);
    EXPECT_EQ(columns[0].DisplayPosition, 12);
}

TEST(Config, NodesCanBeAddedAndInserted) {
    QTemporaryDir dir;
    TConfig config(dir.path());
    TXMLNodesType nodes = config.ConfigRoot().Nodes();
    nodes.Add().SetName(QStringLiteral("Last"));
    nodes.Insert(1).SetName(QStringLiteral("Second"));
    nodes.Insert(99).SetName(QStringLiteral("End"));
    EXPECT_EQ(nodes.Count(), FieldCount + 3);
    EXPECT_EQ(nodes.Node(0).Name(), QStringLiteral("FileName"));
    EXPECT_EQ(nodes.Node(1).Name(), QStringLiteral("Second"));
    EXPECT_EQ(nodes.Node(2).Name(), QStringLiteral("MP3_Title"));
    EXPECT_EQ(nodes.Node(FieldCount + 1).Name(), QStringLiteral("Last"));
    EXPECT_EQ(nodes.Node(FieldCount + 2).Name(), QStringLiteral("End"));
}

TEST(Config, DisplayPositionsAreNormalisedWhenIndexesAreNoPermutation) {
    EXPECT_EQ(NormalizedDisplayPositions({2, 0, 1}), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(NormalizedDisplayPositions({}), std::vector<int>{});
    // Duplicates: ordered by Index, ties by model order.
    EXPECT_EQ(NormalizedDisplayPositions({1, 1, 0}), (std::vector<int>{1, 2, 0}));
    // Out of range and negative values keep their relative order.
    EXPECT_EQ(NormalizedDisplayPositions({40, -3, 7}), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(NormalizedDisplayPositions({0, 0, 0}), (std::vector<int>{0, 1, 2}));

    QTemporaryDir dir;
    std::string text = kDefaultText;
    text.replace(text.find("Index=\"3\""), 9, "Index=\"0\"");
    text.replace(text.find("Index=\"16\""), 10, "Index=\"x\"");  // unreadable: its position
    WriteFile(dir.path(), QStringLiteral("VellumdexConfig.xml"), QByteArray::fromStdString(text));
    TConfig config(dir.path());
    std::vector<int> positions;
    for (const TColumnSpec& column : config.Columns()) {
        positions.push_back(column.DisplayPosition);
    }
    EXPECT_EQ(positions, (std::vector<int>{0,  2,  3,  1,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                                           14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26}));
}

TEST(Config, AnUnusableFileIsKeptAsBadAndTheDefaultStandsIn) {
    const QByteArray cases[] = {
        "<config><frame>",                                                 // not well-formed
        "<config><frame><plLeft/><plHint/></frame></config>",              // no nodes element
        "<settings><frame><plLeft/><plHint/></frame><nodes/></settings>",  // wrong root
        "",
    };
    for (const QByteArray& bytes : cases) {
        QTemporaryDir dir;
        WriteFile(dir.path(), QStringLiteral("VellumdexConfig.xml"), bytes);
        WriteFile(dir.path(), QStringLiteral("VellumdexConfig.xml.bad"), "older bad copy");
        TConfig config(dir.path());
        EXPECT_TRUE(config.UsedFallback()) << bytes.toStdString();
        EXPECT_EQ(ReadFile(ConfigPath(dir) + QStringLiteral(".bad")), bytes);
        EXPECT_EQ(ReadFile(ConfigPath(dir)), bytes) << "the file itself waits for the next save";
        EXPECT_EQ(config.ConfigRoot().Nodes().Count(), FieldCount);
        EXPECT_EQ(config.ConfigRoot().Frame().PlLeft().Width(), 308);

        config.SaveConfig();
        TConfig reread(dir.path());
        EXPECT_FALSE(reread.UsedFallback());
        EXPECT_EQ(reread.ConfigRoot().Nodes().Count(), FieldCount);
    }
}

TEST(Config, LibraryPathIsKeptAndGetConfigFollowsTheChosenDirectory) {
    QTemporaryDir dir;
    TConfig config(dir.path());
    EXPECT_EQ(config.LibraryPath(), dir.filePath(QStringLiteral("CatalogLibrary")));
    EXPECT_EQ(config.LibraryPath(), dir.filePath(QStringLiteral("CatalogLibrary")));

    QTemporaryDir other;
    const QString nested = other.filePath(QStringLiteral("not/yet/there"));
    UseConfigDirectory(nested);
    EXPECT_EQ(GetConfig().ConfigFilePath(),
              QDir(nested).filePath(QStringLiteral("VellumdexConfig.xml")));
    EXPECT_EQ(&GetConfig(), &GetConfig());
    EXPECT_EQ(ReadFile(GetConfig().ConfigFilePath()).toStdString(), kDefaultText);
}

TEST(Config, AFailedSaveKeepsTheOldFile) {
    QTemporaryDir dir;
    TConfig config(dir.path());
    config.ConfigRoot().Frame().SetWidth(1);
    {
        // Writes past a few bytes fail (EFBIG), as on a full disk.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_ANY_THROW(config.SaveConfig());
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, handler);
    }
    EXPECT_EQ(ReadFile(ConfigPath(dir)).toStdString(), kDefaultText);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("VellumdexConfig.xml")});

    // The file's place taken by a folder: the save fails clearly and changes nothing.
    QFile::remove(ConfigPath(dir));
    ASSERT_TRUE(QDir().mkpath(ConfigPath(dir) + QStringLiteral("/x")));
    EXPECT_ANY_THROW(config.SaveConfig());
    EXPECT_TRUE(QFileInfo(ConfigPath(dir) + QStringLiteral("/x")).isDir());
}

TEST(Config, TheMusicChoiceDefaultsToMp3OnlyAndIsKeptBySave) {
    QTemporaryDir dir;
    {
        TConfig config(dir.path());
        EXPECT_FALSE(config.ConfigRoot().AllMusicFiles());
        config.ConfigRoot().SetAllMusicFiles(true);
        EXPECT_TRUE(config.ConfigRoot().AllMusicFiles());
        config.SaveConfig();
    }
    EXPECT_TRUE(ReadFile(ConfigPath(dir)).contains("allMusicFiles=\"True\""));
    TConfig reread(dir.path());
    EXPECT_TRUE(reread.ConfigRoot().AllMusicFiles());
    reread.ConfigRoot().SetAllMusicFiles(false);
    EXPECT_FALSE(reread.ConfigRoot().AllMusicFiles());
}

TEST(Config, RememberedChoicesSurviveASaveAndHoldOnlyWellFormedText) {
    QTemporaryDir dir;
    {
        TConfig config(dir.path());
        TXMLRememberedType search = config.ConfigRoot().Remembered("searchDialog");
        EXPECT_FALSE(search.Has("fileName"));
        EXPECT_EQ(search.Text("fileName", QStringLiteral("none")), QStringLiteral("none"));
        EXPECT_EQ(search.Int("mode", 7), 7);
        search.SetText("fileName", QStringLiteral("Caf\u00e9 \"<live>\"\u0001"));
        search.SetInt("mode", 2);
        config.ConfigRoot().Remembered("updatePreview").SetInt("width", 900);
        config.SaveConfig();
    }
    // The default file's text is untouched by what was remembered.
    EXPECT_TRUE(ReadFile(ConfigPath(dir)).startsWith("<config versionNo=\"Vellumdex V4\""));
    TConfig reread(dir.path());
    EXPECT_FALSE(reread.UsedFallback());
    const TXMLRememberedType search = reread.ConfigRoot().Remembered("searchDialog");
    EXPECT_TRUE(search.Has("fileName"));
    EXPECT_EQ(search.Text("fileName"), QStringLiteral("Caf\u00e9 \"<live>\"\ufffd"));
    EXPECT_EQ(search.Int("mode", 0), 2);
    EXPECT_EQ(reread.ConfigRoot().Remembered("updatePreview").Int("width", 0), 900);
    EXPECT_EQ(reread.Columns().size(), static_cast<size_t>(FieldCount));
}
