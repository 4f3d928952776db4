#include <gtest/gtest.h>

#include <map>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "CliRun.h"
#include "core/catalog/FileItem.h"
#include "core/tags/TagBuilders.h"
#include "support/TempDir.h"

using melodrix::testing::WriteFile;
using namespace melodrix::testing;
using namespace melodrix::tagbytes;

namespace {

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("lib"));
        music = dir.filePath(QStringLiteral("music"));
        const std::string v1 = ID3v1Record("Title One", "Artist", "Album", "1999", "", 17);
        WriteFile(music, QStringLiteral("Band/one.mp3"),
                  QByteArray::fromStdString(AudioLike(300) + v1));
        WriteFile(music, QStringLiteral("Band/two.MP3"), QByteArray::fromStdString(AudioLike(50)));
        WriteFile(music, QStringLiteral("notes.txt"), "not music");
    }

    TCliRun Run(const QStringList& args, bool withLibrary = true) {
        return RunCli(withLibrary ? QStringList{QStringLiteral("--library"), library} + args
                                  : args);
    }

    QTemporaryDir dir;
    QString library;
    QString music;
};

}  // namespace

TEST_F(Cli, ScanWritesACatalogAndRefusesToReplaceItWithoutForce) {
    const TCliRun scan =
        Run({QStringLiteral("scan"), music, QStringLiteral("--group"), QStringLiteral("Rock"),
             QStringLiteral("--name"), QStringLiteral("Best")});
    ASSERT_EQ(scan.status, 0) << scan.err.toStdString();
    const QString catalog = library + QStringLiteral("/Rock/Best.xml");
    EXPECT_EQ(scan.out.trimmed(), catalog);
    EXPECT_TRUE(QFileInfo(catalog).isFile());
    EXPECT_TRUE(
        QFileInfo(library + QStringLiteral("/Mp3")).isDir());  // a new library has its groups

    const QByteArray before = melodrix::testing::ReadFile(catalog);
    const TCliRun again =
        Run({QStringLiteral("scan"), music, QStringLiteral("--group"), QStringLiteral("Rock"),
             QStringLiteral("--name"), QStringLiteral("Best")});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("--force")));
    EXPECT_EQ(again.err.count(QLatin1Char('\n')), 1);
    EXPECT_EQ(melodrix::testing::ReadFile(catalog), before);
    EXPECT_EQ(Run({QStringLiteral("scan"), music, QStringLiteral("--group"), QStringLiteral("Rock"),
                   QStringLiteral("--name"), QStringLiteral("Best"), QStringLiteral("--force")})
                  .status,
              0);

    // Without --name the folder's name is used; names that leave the library are refused.
    EXPECT_EQ(Run({QStringLiteral("scan"), music}).out.trimmed(),
              library + QStringLiteral("/music.xml"));
    for (const char* bad : {"..", "a/b", ""}) {
        EXPECT_EQ(
            Run({QStringLiteral("scan"), music, QStringLiteral("--name"), QString::fromUtf8(bad)})
                .status,
            2)
            << bad;
        EXPECT_EQ(
            Run({QStringLiteral("scan"), music, QStringLiteral("--group"), QString::fromUtf8(bad)})
                .status,
            2)
            << bad;
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("b.xml"))));
    EXPECT_EQ(Run({QStringLiteral("scan"), dir.filePath(QStringLiteral("none"))}).status, 1);
}

TEST_F(Cli, ListShowAndSearchReadTheLibrary) {
    ASSERT_EQ(
        Run({QStringLiteral("scan"), music, QStringLiteral("--group"), QStringLiteral("Rock")})
            .status,
        0);
    WriteFile(library, QStringLiteral("Rock/stray.txt"), "not a catalog");

    const auto listed = Run({QStringLiteral("list"), QStringLiteral("--json")}).Objects();
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed.front()[QStringLiteral("FileName")].toString(),
              QStringLiteral("CatalogLibrary"));
    EXPECT_EQ(listed.front()[QStringLiteral("SizePercentage")].toString(), QStringLiteral("100"));
    EXPECT_EQ(listed.front().size(), melodrix::FieldCount);  // every field, empty ones too
    const auto groups =
        Run({QStringLiteral("list"), QStringLiteral("--groups-only"), QStringLiteral("--json")})
            .Objects();
    EXPECT_EQ(groups.size(), 7u);  // root, five default groups and Rock
    EXPECT_TRUE(Run({QStringLiteral("list")}).out.contains(QStringLiteral("music")));

    const auto items =
        Run({QStringLiteral("show"), QStringLiteral("Rock/music"), QStringLiteral("--json")})
            .Objects();
    ASSERT_EQ(items.size(), 4u);  // the root, Band and its two MP3 files
    EXPECT_EQ(items[0][QStringLiteral("FullPath")].toString(), music);
    const auto one = std::find_if(items.begin(), items.end(), [](const QJsonObject& item) {
        return item[QStringLiteral("FileName")].toString() == QStringLiteral("one.mp3");
    });
    ASSERT_NE(one, items.end());
    EXPECT_EQ((*one)[QStringLiteral("MP3_Title")].toString(), QStringLiteral("Title One"));
    EXPECT_EQ((*one)[QStringLiteral("DiskName")].toString(), QStringLiteral("music"));
    EXPECT_EQ(Run({QStringLiteral("show"), QStringLiteral("Rock/stray.txt")}).status, 1);
    EXPECT_EQ(Run({QStringLiteral("show"), QStringLiteral("Rock/missing")}).status, 1);

    const TCliRun search = Run({QStringLiteral("search"), QStringLiteral("--name"),
                                QStringLiteral("ONE"), QStringLiteral("--json")});
    EXPECT_EQ(search.status, 0);
    const auto hits = search.Objects();
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0][QStringLiteral("FileName")].toString(), QStringLiteral("one.mp3"));
    EXPECT_EQ(hits[0][QStringLiteral("DiskName")].toString(), QStringLiteral("music"));
    EXPECT_TRUE(search.err.contains(QStringLiteral("stray.txt")));

    EXPECT_TRUE(Run({QStringLiteral("search"), QStringLiteral("--ext"), QStringLiteral("mp3"),
                     QStringLiteral("--case-sensitive"), QStringLiteral("--json"),
                     QStringLiteral("--scope"), QStringLiteral("Rock/music")})
                    .out.contains(QStringLiteral("one.mp3")));
    const TCliRun exact = Run({QStringLiteral("search"), QStringLiteral("--ext"),
                               QStringLiteral("mp3"), QStringLiteral("--case-sensitive"),
                               QStringLiteral("--whole-words"), QStringLiteral("--json"),
                               QStringLiteral("--scope"), QStringLiteral("Rock/music.xml")});
    EXPECT_EQ(exact.Objects().size(), 1u);  // two.MP3 differs in case

    EXPECT_EQ(
        Run({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("  ")}).status, 2);
    EXPECT_EQ(Run({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("x"),
                   QStringLiteral("--scope"), QStringLiteral("Nowhere")})
                  .status,
              1);
}

TEST_F(Cli, TagsTellWhichKindSuppliedTheFields) {
    const TCliRun tags = Run({QStringLiteral("tags"), music + QStringLiteral("/Band/one.mp3"),
                              music + QStringLiteral("/Band/two.MP3"), QStringLiteral("--json")},
                             false);
    EXPECT_EQ(tags.status, 0);
    const auto objects = tags.Objects();
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0][QStringLiteral("kind")].toString(), QStringLiteral("ID3v1"));
    EXPECT_EQ(objects[0][QStringLiteral("MP3_Title")].toString(), QStringLiteral("Title One"));
    EXPECT_EQ(objects[0][QStringLiteral("MP3_Genre")].toString(), QStringLiteral("Rock"));
    EXPECT_EQ(objects[1][QStringLiteral("kind")].toString(), QStringLiteral("none"));
    EXPECT_EQ(objects[1].size(), 18);  // file, kind and the sixteen fields

    const TCliRun missing =
        Run({QStringLiteral("tags"), music + QStringLiteral("/none.mp3")}, false);
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(missing.err.isEmpty());
}

TEST_F(Cli, UsageErrorsAndHelp) {
    EXPECT_EQ(Run({}, false).status, 2);
    EXPECT_EQ(Run({QStringLiteral("bogus")}).status, 2);
    EXPECT_EQ(Run({QStringLiteral("list"), QStringLiteral("--bogus")}).status, 2);
    EXPECT_EQ(Run({QStringLiteral("list"), QStringLiteral("--library")}, false).status, 2);
    EXPECT_EQ(Run({QStringLiteral("scan")}).status, 2);
    EXPECT_EQ(Run({QStringLiteral("tags")}).status, 2);
    EXPECT_EQ(Run({QStringLiteral("--help")}, false).status, 0);
    for (const char* command : {"scan", "list", "show", "search", "tags"}) {
        const TCliRun help = Run({QString::fromUtf8(command), QStringLiteral("--help")});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage:"))) << command;
    }
    // Progress stays off stderr when it is not a terminal.
    const TCliRun quiet = Run({QStringLiteral("scan"), music});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.err.isEmpty()) << quiet.err.toStdString();
}

TEST_F(Cli, VersionAndErrorsThatNameTheirFileOnStderr) {
    const TCliRun version = Run({QStringLiteral("--version")}, false);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("melodrix-cli " MELODRIX_VERSION "\n"));
    EXPECT_TRUE(version.err.isEmpty());

    const QString broken = WriteFile(dir.path(), QStringLiteral("broken.xml"), "not a catalog");
    const QString unwritable = dir.filePath(QStringLiteral("missing/dir/out.csv"));
    const QString absent = dir.filePath(QStringLiteral("absent.mp3"));
    const std::vector<std::pair<QStringList, QString>> failures{
        {{QStringLiteral("show"), broken}, broken},
        {{QStringLiteral("show"), QStringLiteral("Mp3/none")}, QStringLiteral("Mp3/none")},
        {{QStringLiteral("scan"), dir.filePath(QStringLiteral("nowhere"))},
         dir.filePath(QStringLiteral("nowhere"))},
        {{QStringLiteral("tags"), absent}, absent},
        {{QStringLiteral("export"), broken, QStringLiteral("--format"), QStringLiteral("csv"),
          QStringLiteral("-o"), dir.filePath(QStringLiteral("o.csv"))},
         broken},
    };
    for (const auto& [args, file] : failures) {
        const TCliRun run = Run(args);
        EXPECT_EQ(run.status, 1) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("melodrix-cli: ")));
        EXPECT_TRUE(run.err.contains(file)) << run.err.toStdString();
    }

    ASSERT_EQ(
        Run({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("m")}).status,
        0);
    const TCliRun write =
        Run({QStringLiteral("--quiet"), QStringLiteral("export"), QStringLiteral("m"),
             QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("-o"), unwritable});
    EXPECT_EQ(write.status, 1);
    EXPECT_TRUE(write.err.contains(unwritable)) << write.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(unwritable));
}

TEST_F(Cli, MusicAllCataloguesEveryKnownFormatAndTagsReadsThem) {
    const QString data = QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/");
    const QStringList files = {QStringLiteral("picture-first.flac"), QStringLiteral("tagged.ogg"),
                               QStringLiteral("long-comments.opus"),
                               QStringLiteral("moov-after-audio.m4a")};
    for (const QString& file : files) {
        ASSERT_TRUE(QFile::copy(data + file, music + QStringLiteral("/Band/") + file));
    }
    EXPECT_EQ(
        Run({QStringLiteral("scan"), music, QStringLiteral("--music"), QStringLiteral("loud")})
            .status,
        2);
    ASSERT_EQ(Run({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("mp3"),
                   QStringLiteral("--music"), QStringLiteral("mp3")})
                  .status,
              0);
    ASSERT_EQ(Run({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("all"),
                   QStringLiteral("--music"), QStringLiteral("all")})
                  .status,
              0);
    const auto mp3 = Run({QStringLiteral("show"), QStringLiteral("mp3"), QStringLiteral("--json")});
    EXPECT_EQ(mp3.Objects().size(), 4u);  // the root, Band and its two MP3 files
    const auto all =
        Run({QStringLiteral("show"), QStringLiteral("all"), QStringLiteral("--json")}).Objects();
    ASSERT_EQ(all.size(), 8u);
    std::map<QString, QJsonObject> byName;
    for (const QJsonObject& item : all) {
        byName[item[QStringLiteral("FileName")].toString()] = item;
    }
    EXPECT_EQ(byName[files[0]][QStringLiteral("MP3_Title")].toString(),
              QStringLiteral("Flac Title"));
    EXPECT_EQ(byName[files[0]][QStringLiteral("FileExt")].toString(), QStringLiteral("flac"));
    EXPECT_EQ(byName[files[1]][QStringLiteral("MP3_Genre")].toString(), QStringLiteral("Rock"));
    EXPECT_EQ(byName[files[2]][QStringLiteral("MP3_Year")].toString(), QStringLiteral("2021"));
    EXPECT_EQ(byName[files[3]][QStringLiteral("MP3_Artist")].toString(),
              QStringLiteral("Album Artist Only"));
    EXPECT_EQ(byName[QStringLiteral("one.mp3")][QStringLiteral("MP3_Title")].toString(),
              QStringLiteral("Title One"));

    QStringList args = {QStringLiteral("tags"), QStringLiteral("--json")};
    for (const QString& file : files) {
        args << data + file;
    }
    const auto kinds = Run(args, false).Objects();
    ASSERT_EQ(kinds.size(), 4u);
    const QStringList expected = {QStringLiteral("FLAC"), QStringLiteral("Ogg Vorbis"),
                                  QStringLiteral("Opus"), QStringLiteral("MP4")};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(kinds[i][QStringLiteral("kind")].toString(), expected[i]);
    }
    EXPECT_EQ(kinds[3][QStringLiteral("MP3_Title")].toString(), QStringLiteral("MP4 Title"));
}

// The fields after the first 17 from the scan to every command that reads them.
TEST_F(Cli, PlayingTimeCodecTrackAndAlbumArtistReachTagsInfoSearchAndDuplicates) {
    const QString data = QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/");
    ASSERT_TRUE(QFile::copy(data + QStringLiteral("tagged-vbr.mp3"),
                            music + QStringLiteral("/Band/vbr.mp3")));
    ASSERT_TRUE(
        QFile::copy(data + QStringLiteral("tagged-vbr.mp3"), music + QStringLiteral("/copy.mp3")));
    ASSERT_TRUE(QFile::copy(data + QStringLiteral("picture-first.flac"),
                            music + QStringLiteral("/Band/a.flac")));

    const auto tags = Run({QStringLiteral("tags"), QStringLiteral("--json"),
                           music + QStringLiteral("/Band/vbr.mp3")},
                          false)
                          .Objects();
    ASSERT_EQ(tags.size(), 1u);
    const std::map<QString, QString> expected = {
        {QStringLiteral("MP3_Track"), QStringLiteral("2/9")},
        {QStringLiteral("MP3_Disc"), QStringLiteral("1/2")},
        {QStringLiteral("MP3_AlbumArtist"), QStringLiteral("Lame Band")},
        {QStringLiteral("AudioDuration"), QStringLiteral("250")},
        {QStringLiteral("AudioSampleRate"), QStringLiteral("22050")},
        {QStringLiteral("AudioChannels"), QStringLiteral("1")},
        {QStringLiteral("AudioCodec"), QStringLiteral("MP3")},
        {QStringLiteral("AudioMode"), QStringLiteral("VBR")}};
    for (const auto& [field, value] : expected) {
        EXPECT_EQ(tags[0][field].toString(), value) << field.toStdString();
    }
    const TCliRun text =
        Run({QStringLiteral("tags"), music + QStringLiteral("/Band/vbr.mp3")}, false);
    EXPECT_TRUE(text.out.contains(QStringLiteral("    AudioDuration: 250\n")))
        << text.out.toStdString();

    ASSERT_EQ(Run({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("m"),
                   QStringLiteral("--music"), QStringLiteral("all")})
                  .status,
              0);
    const auto info = Run({QStringLiteral("info"), QStringLiteral("m"), QStringLiteral("--json")});
    ASSERT_EQ(info.Objects().size(), 1u);
    const QJsonObject summary = info.Objects()[0];
    EXPECT_EQ(summary[QStringLiteral("playingTimeMs")].toInt(), 750);
    const QJsonArray codecs = summary[QStringLiteral("codecs")].toArray();
    ASSERT_EQ(codecs.size(), 2);
    EXPECT_EQ(codecs[0].toObject()[QStringLiteral("codec")].toString(), QStringLiteral("MP3"));
    EXPECT_EQ(codecs[0].toObject()[QStringLiteral("count")].toInt(), 2);
    EXPECT_EQ(codecs[1].toObject()[QStringLiteral("codec")].toString(), QStringLiteral("FLAC"));
    const TCliRun infoText = Run({QStringLiteral("info"), QStringLiteral("m")});
    EXPECT_TRUE(infoText.out.contains(QStringLiteral("Playing time:")))
        << infoText.out.toStdString();
    EXPECT_TRUE(infoText.out.contains(QStringLiteral("Files by codec:")));

    const auto names = [this](const QStringList& conditions) {
        QStringList found;
        for (const QJsonObject& hit :
             Run(QStringList{QStringLiteral("search"), QStringLiteral("--json")} + conditions)
                 .Objects()) {
            found << hit[QStringLiteral("FileName")].toString();
        }
        found.sort();
        return found;
    };
    EXPECT_EQ(names({QStringLiteral("--codec"), QStringLiteral("flac")}),
              QStringList{QStringLiteral("a.flac")});
    EXPECT_EQ(
        names({QStringLiteral("--track"), QStringLiteral("2"), QStringLiteral("--files-only")}),
        (QStringList{QStringLiteral("copy.mp3"), QStringLiteral("vbr.mp3")}));
    EXPECT_EQ(names({QStringLiteral("--album-artist"), QStringLiteral("lame")}),
              (QStringList{QStringLiteral("copy.mp3"), QStringLiteral("vbr.mp3")}));
    EXPECT_EQ(names({QStringLiteral("--min-duration"), QStringLiteral("0:00.5"),
                     QStringLiteral("--files-only")}),
              QStringList{});
    EXPECT_EQ(names({QStringLiteral("--min-duration"), QStringLiteral("0.5")}).size(), 2)
        << "the root and Band, whose playing times are sums";
    EXPECT_EQ(
        Run({QStringLiteral("search"), QStringLiteral("--min-duration"), QStringLiteral("1:75")})
            .status,
        2);
    EXPECT_EQ(
        Run({QStringLiteral("search"), QStringLiteral("--max-bitrate"), QStringLiteral("fast")})
            .status,
        2);

    const auto duplicates =
        Run({QStringLiteral("duplicates"), QStringLiteral("--by"),
             QStringLiteral("artist-title-duration"), QStringLiteral("--json")});
    EXPECT_EQ(duplicates.status, 0) << duplicates.err.toStdString();
    EXPECT_TRUE(duplicates.out.contains(QStringLiteral("copy.mp3")));
    EXPECT_TRUE(duplicates.out.contains(QStringLiteral("vbr.mp3")));
    EXPECT_FALSE(duplicates.out.contains(QStringLiteral("a.flac")));
}
