#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "core/search/Statistics.h"
#include "support/FolderCatalog.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

struct TFile {
    std::string name{}, size{}, artist{}, title{}, album{}, year{}, genre{}, track{}, codec{},
        bitrate{}, mode{}, duration{}, albumArtist{}, mismatch{};
};

// The files as the shared album catalog takes them.
QByteArray Catalog(const std::vector<TFile>& files) {
    std::vector<melodrix::testing::TCatalogFile> attributes;
    for (const TFile& f : files) {
        attributes.push_back({{"FileName", f.name},
                              {"FileSize", f.size},
                              {"MP3_Title", f.title},
                              {"MP3_Artist", f.artist},
                              {"MP3_Album", f.album},
                              {"MP3_Year", f.year},
                              {"MP3_Genre", f.genre},
                              {"MP3_Track", f.track},
                              {"MP3_AlbumArtist", f.albumArtist},
                              {"AudioDuration", f.duration},
                              {"AudioBitrate", f.bitrate},
                              {"AudioCodec", f.codec},
                              {"AudioMode", f.mode},
                              {"ID3Mismatch", f.mismatch}});
    }
    return melodrix::testing::FolderCatalog(attributes);
}

const TTally* Find(const std::vector<TTally>& tallies, const std::string& name) {
    for (const TTally& tally : tallies) {
        if (tally.name == name) {
            return &tally;
        }
    }
    return nullptr;
}

class Statistics : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("lib"));
        // Rock/One: an album with a gap (2 missing of 1-3/3), two spellings of its artist, a
        // mis-decoded title whose ID3v1 and ID3v2 tags disagreed at the scan, a lossless file;
        // a cover image and a text file.
        WriteFile(library, QStringLiteral("Rock/One.xml"),
                  Catalog({{"01.mp3", "1000", "The Beatles", "Help", "Hits", "1965", "Rock", "1/3",
                            "MP3", "128", "CBR", "120000"},
                           {"03.mp3", "3000", "Beatles", "Caf\xC3\x83\xC2\xA9", "Hits", "1966",
                            "Rock", "3", "MP3", "320", "CBR", "180000", "", "Title, Year"},
                           {"04.flac", "9000", "Solo", "", "Other", "1999", "Jazz", "", "FLAC",
                            "900", "lossless", "60000"},
                           {"cover.jpg", "500"},
                           {"notes.txt", "20"}}));
        // Pop/Two: a file without artist, one of an unknown year and codec.
        WriteFile(library, QStringLiteral("Pop/Two.xml"),
                  Catalog({{"x.ogg", "700", "", "Untitled", "", "2004", "Pop", "", "Vorbis", "96",
                            "VBR", "30000"},
                           {"y.mp3", "300", "Solo", "Song", "", "", "Pop", "", "", "", "", ""},
                           {"film.mkv", "100000"}}));
    }

    QTemporaryDir dir;
    QString library;
};

}  // namespace

TEST_F(Statistics, TheLibraryAsAWhole) {
    const TStatistics s =
        GatherStatistics(SilentProgress(), TSearchScope::Group, library, library, true);
    EXPECT_EQ(s.files, 8u);
    EXPECT_EQ(s.folders, 4u);  // each catalog's root and album folder
    EXPECT_EQ(s.bytes, 1000u + 3000 + 9000 + 500 + 20 + 700 + 300 + 100000);
    EXPECT_EQ(s.musicFiles, 5u);
    EXPECT_EQ(s.durationMs, 120000 + 180000 + 60000 + 30000);

    ASSERT_EQ(s.kinds.size(), 4u);  // nothing of the "other" kind
    EXPECT_EQ(s.kinds[0].name, "music");
    EXPECT_EQ(s.kinds[0].bytes, 14000u);
    EXPECT_EQ(s.kinds[1].name, "images");
    EXPECT_EQ(s.kinds[2].name, "video");
    EXPECT_EQ(s.kinds[2].bytes, 100000u);
    EXPECT_EQ(s.kinds[3].name, "documents");

    ASSERT_EQ(s.genres.size(), 3u);
    EXPECT_EQ(s.genres[0].name, "Pop");  // two each: by name
    EXPECT_EQ(s.genres[1].name, "Rock");
    EXPECT_EQ(s.genres[2].name, "Jazz");
    EXPECT_EQ(Find(s.decades, "1960s")->files, 2u);
    EXPECT_EQ(Find(s.decades, "unknown")->files, 1u);
    EXPECT_EQ(s.decades.back().name, "unknown");
    EXPECT_EQ(s.codecs[0].name, "MP3");
    EXPECT_EQ(s.codecs[0].files, 2u);
    EXPECT_EQ(Find(s.codecs, "unknown")->files, 1u);
    EXPECT_EQ(Find(s.bitrates, "under 128")->files, 1u);
    EXPECT_EQ(Find(s.bitrates, "128-191")->files, 1u);
    EXPECT_EQ(Find(s.bitrates, "320 and over")->files, 1u);
    EXPECT_EQ(Find(s.bitrates, "lossless")->files, 1u);
    EXPECT_EQ(Find(s.bitrates, "unknown")->files, 1u);
    ASSERT_GE(s.artists.size(), 2u);
    EXPECT_EQ(s.artists[0].name, "Beatles");  // 180 s, then The Beatles' 120 s
    EXPECT_EQ(s.artists[1].name, "The Beatles");

    ASSERT_EQ(s.catalogs.size(), 2u);
    for (const TCatalogTally& catalog : s.catalogs) {
        if (catalog.diskName == "One") {
            EXPECT_EQ(catalog.items, 7u);
            EXPECT_EQ(catalog.durationMs, 360000);
        } else {
            EXPECT_EQ(catalog.diskName, "Two");
            EXPECT_EQ(catalog.files, 3u);
            EXPECT_EQ(catalog.bytes, 101000u);
        }
    }

    EXPECT_EQ(s.healthCounts[static_cast<int>(THealthProblem::MissingTitleOrArtist)], 2u);
    EXPECT_EQ(s.healthCounts[static_cast<int>(THealthProblem::MisdecodedText)], 1u);
    EXPECT_EQ(s.healthCounts[static_cast<int>(THealthProblem::TrackGap)], 1u)
        << "the two spellings of one artist make one album, 1/3 and 3 of it";
    EXPECT_EQ(s.healthCounts[static_cast<int>(THealthProblem::ArtistSpellings)], 1u);
    EXPECT_EQ(s.healthCounts[static_cast<int>(THealthProblem::TagsDisagree)], 1u);
    ASSERT_EQ(s.healthRows.size(), 6u);
    bool spellings = false, disagree = false;
    for (const THealthRow& row : s.healthRows) {
        if (row.problem == THealthProblem::TagsDisagree) {
            disagree = true;
            EXPECT_EQ(row.detail, "Title, Year");
            EXPECT_EQ(row.fullPath, "/m/a/03.mp3");
            EXPECT_TRUE(row.catalogFile.endsWith(QStringLiteral("/Rock/One.xml")));
        }
        if (row.problem == THealthProblem::ArtistSpellings) {
            spellings = true;
            EXPECT_EQ(row.detail, "Beatles / The Beatles");
            EXPECT_EQ(row.fullPath, "/m/a/01.mp3");
        }
        if (row.problem == THealthProblem::TrackGap) {
            EXPECT_EQ(row.detail, "missing 2");
        }
    }
    EXPECT_TRUE(spellings);
    EXPECT_TRUE(disagree);
}

TEST_F(Statistics, AGroupACatalogAndTrackGaps) {
    const TStatistics pop = GatherStatistics(SilentProgress(), TSearchScope::Group,
                                             library + QStringLiteral("/Pop"), library, false);
    EXPECT_EQ(pop.files, 3u);
    EXPECT_EQ(pop.musicFiles, 2u);
    EXPECT_TRUE(pop.healthRows.empty()) << "counted, not listed";
    EXPECT_EQ(pop.healthCounts[static_cast<int>(THealthProblem::MissingTitleOrArtist)], 1u);

    WriteFile(library, QStringLiteral("Gaps.xml"),
              Catalog({{"1.mp3", "1", "A", "t1", "Al", "", "", "1/5"},
                       {"2.mp3", "1", "A", "t2", "Al", "", "", "2/5"},
                       {"4.mp3", "1", "A", "t4", "Al", "", "", "4"},
                       {"solo.mp3", "1", "B", "t", "Single", "", "", "7/12"}}));
    const TStatistics gaps = GatherStatistics(SilentProgress(), TSearchScope::Catalog,
                                              library + QStringLiteral("/Gaps.xml"), library, true);
    ASSERT_EQ(gaps.healthRows.size(), 1u) << "a single track of an album is no gap";
    EXPECT_EQ(gaps.healthRows[0].problem, THealthProblem::TrackGap);
    EXPECT_EQ(gaps.healthRows[0].detail, "missing 3, 5");
    ASSERT_EQ(gaps.catalogs.size(), 1u);
    EXPECT_EQ(gaps.catalogs[0].items, 6u);
}

TEST(StatisticsArtists, OnlyThoseWithAPlayingTimeAreListed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString library = dir.filePath(QStringLiteral("lib"));
    WriteFile(library, QStringLiteral("G/A.xml"),
              Catalog({{"a.mp3", "10", "Quiet", "A"},
                       {"b.mp3", "10", "Loud", "B", "", "", "", "", "MP3", "128", "CBR", "5000"}}));
    const TStatistics s =
        GatherStatistics(SilentProgress(), TSearchScope::Group, library, library, false);
    ASSERT_EQ(s.artists.size(), 1u);  // "Quiet" gives no playing time to rank
    EXPECT_EQ(s.artists[0].name, "Loud");
    EXPECT_EQ(s.artists[0].durationMs, 5000);
}

TEST(StatisticsTexts, KindsAndMisdecodedText) {
    EXPECT_STREQ(KindOfExtension("MP3"), "music");
    EXPECT_STREQ(KindOfExtension("Jpeg"), "images");
    EXPECT_STREQ(KindOfExtension("mkv"), "video");
    EXPECT_STREQ(KindOfExtension("pdf"), "documents");
    EXPECT_STREQ(KindOfExtension(""), "other");
    EXPECT_TRUE(LooksMisdecoded("Caf\xC3\x83\xC2\xA9"));  // "Café" read as Latin-1
    EXPECT_TRUE(LooksMisdecoded("\xC3\x82\xC2\xA0x"));
    EXPECT_FALSE(LooksMisdecoded("Caf\xC3\xA9"));
    EXPECT_FALSE(LooksMisdecoded("\xC3\x83O PAULO"));  // "ÃO" is Portuguese
    EXPECT_FALSE(LooksMisdecoded("\xC3\x83"));
}
