#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/engine/FileInfo.h"
#include "core/search/Duplicates.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

struct TSong {
    const char* name;
    const char* size;
    const char* artist = "";
    const char* title = "";
    const char* album = "";
    const char* duration = "";
};

QByteArray Catalog(const std::vector<TSong>& songs) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo>"
        "<file FileName=\"/m\" FileType=\"directory\" FileSize=\"1\">";
    for (const TSong& song : songs) {
        text += QByteArray("<file FileType=\"file\" FileName=\"") + song.name + "\" FileSize=\"" +
                song.size + "\" MP3_Artist=\"" + song.artist + "\" MP3_Title=\"" + song.title +
                "\" MP3_Album=\"" + song.album + "\"" +
                (*song.duration ? QByteArray(" AudioDuration=\"") + song.duration + "\"" : "") +
                "/>";
    }
    return text + "</file></fileinfo>";
}

// The groups found, each as its sorted "disk:name" members; the groups sorted too, since
// the walk meets the catalogs of a folder in the file system's listing order.
using Hits = std::vector<std::vector<std::string>>;

class FindDuplicates : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        engine.Document = &document;
        library = dir.filePath(QStringLiteral("lib"));
        WriteFile(library, QStringLiteral("A.xml"),
                  Catalog({{"one.mp3", "100", "The Band", "Night"},
                           {"two.mp3", "200", "Solo", "Day", "First"},
                           {"odd.mp3", "", "", ""},
                           {"three.mp3", "300", "", "Night"}}));
        WriteFile(library, QStringLiteral("Sub/B.xml"),
                  Catalog({{"one.mp3", "100", " the band ", "NIGHT", "Live"},
                           {"TWO.mp3", "200", "solo", "day", "first"},
                           {"three.mp3", "301", "", "Night"}}));
        WriteFile(library, QStringLiteral("Sub/C.xml"),
                  Catalog({{"two.mp3", "200", "Solo", "Day", "Second"},
                           {"one.mp3", "100", "The Band", "Night"}}));
    }

    Hits Find(TDuplicateKey key) {
        duplicates = engine.FindDuplicates(TSearchScope::Group, library, key, result);
        EXPECT_EQ(duplicates.groupOfHit.size(), static_cast<size_t>(result.TopLevelCount()));
        Hits hits;
        for (int i = 0; i < result.TopLevelCount(); ++i) {
            const TFileItem& item = result.TopLevel(i)->Item();
            EXPECT_EQ(result.TopLevel(i)->ChildCount(), 0);
            const int group = duplicates.groupOfHit[static_cast<size_t>(i)];
            // Hits come ordered by group, numbered from 1 without gaps.
            const int open = static_cast<int>(hits.size());
            EXPECT_TRUE(group == open + 1 || (open > 0 && group == open)) << group;
            if (group > open) {
                hits.emplace_back();
            }
            hits.back().push_back(std::string(item.Field(DiskName)) + ":" +
                                  std::string(item.Field(FileName)));
        }
        EXPECT_EQ(static_cast<int>(hits.size()), duplicates.groups);
        for (auto& members : hits) {
            std::sort(members.begin(), members.end());
        }
        std::sort(hits.begin(), hits.end());
        return hits;
    }

    QTemporaryDir dir;
    QString library;
    pugi::xml_document document;
    TFileInfo engine;
    TCatalogTree result;
    TDuplicates duplicates;
};

}  // namespace

TEST_F(FindDuplicates, NameAndSizeGroupAcrossCatalogsInOrderMet) {
    EXPECT_EQ(Find(TDuplicateKey::NameSize),
              (Hits{{"A:one.mp3", "B:one.mp3", "C:one.mp3"}, {"A:two.mp3", "C:two.mp3"}}));
    EXPECT_EQ(duplicates.groups, 2);
    EXPECT_EQ(duplicates.extraBytes, 2u * 100 + 200);
    EXPECT_TRUE(duplicates.skipped.isEmpty());
}

TEST_F(FindDuplicates, SizeAlone) {
    // Folders and files without a size take no part.
    EXPECT_EQ(Find(TDuplicateKey::Size), (Hits{{"A:one.mp3", "B:one.mp3", "C:one.mp3"},
                                               {"A:two.mp3", "B:TWO.mp3", "C:two.mp3"}}));
    EXPECT_EQ(duplicates.extraBytes, 2u * 100 + 2u * 200);
}

TEST_F(FindDuplicates, ArtistAndTitleAreFoldedAndTrimmedAndMustBothBeThere) {
    EXPECT_EQ(Find(TDuplicateKey::ArtistTitle), (Hits{{"A:one.mp3", "B:one.mp3", "C:one.mp3"},
                                                      {"A:two.mp3", "B:TWO.mp3", "C:two.mp3"}}));
    EXPECT_EQ(duplicates.groups, 2);
    EXPECT_EQ(Find(TDuplicateKey::ArtistAlbumTitle),
              (Hits{{"A:one.mp3", "C:one.mp3"}, {"A:two.mp3", "B:TWO.mp3"}}));
}

TEST_F(FindDuplicates, ArtistTitleAndPlayingTimeWithinTwoSecondsOfTheNext) {
    // 180.0, 181.5 and 183.4 s chain into one group although the ends are 3.4 s apart; 186 s
    // stands alone; a live take of the same song is a group of its own; no time, no part.
    WriteFile(library, QStringLiteral("Sub/B.xml"),
              Catalog({{"a.mp3", "1", "Band", "Song", "", "180000"},
                       {"b.mp3", "1", "band", "SONG", "", "183400"},
                       {"c.mp3", "1", "Band", "Song", "", "186000"},
                       {"live1.mp3", "1", "Band", "Song", "", "300000"},
                       {"live2.mp3", "1", "Band", "Song", "", "302000"},
                       {"bad.mp3", "1", "Band", "Song", "", "x"},
                       {"untimed.mp3", "1", "Band", "Song"}}));
    WriteFile(library, QStringLiteral("Sub/C.xml"),
              Catalog({{"d.mp3", "1", "Band ", "Song", "", "181500"}}));
    EXPECT_EQ(Find(TDuplicateKey::ArtistTitleDuration),
              (Hits{{"B:a.mp3", "B:b.mp3", "C:d.mp3"}, {"B:live1.mp3", "B:live2.mp3"}}));
    EXPECT_EQ(DuplicateKeyOfName(QStringLiteral("artist-title-duration")),
              TDuplicateKey::ArtistTitleDuration);
}

TEST_F(FindDuplicates, OneCatalogScopeAndHostileValues) {
    const QString file = WriteFile(dir.path(), QStringLiteral("Odd.xml"),
                                   Catalog({{"x", "18446744073709551615", "Caf\xC3\x89",
                                             "\xC3\x9C"
                                             "BER"},
                                            {"y", "18446744073709551615", "caf\xC3\xA9",
                                             "\xC3\xBC"
                                             "ber"},
                                            {"z", "99999999999999999999999", "&#9;x ", "\xff\xfe"},
                                            {"w", "99999999999999999999999", "x", "\xff\xfe"},
                                            {"v", "5", "&#9;", "\xff\xfe"}}));
    duplicates =
        engine.FindDuplicates(TSearchScope::Catalog, file, TDuplicateKey::ArtistTitle, result);
    // Tabs and blanks are trimmed: "v" has no artist left, so it takes no part. (A control
    // given as a reference reads as U+FFFD, as in the opened catalog, so it is no blank.)
    ASSERT_EQ(result.TopLevelCount(), 4);
    EXPECT_EQ(duplicates.groupOfHit, (std::vector<int>{1, 1, 2, 2}));
    // Huge sizes saturate instead of wrapping around.
    EXPECT_EQ(duplicates.extraBytes, UINT64_MAX);
    duplicates = engine.FindDuplicates(TSearchScope::Catalog, file, TDuplicateKey::Size, result);
    EXPECT_EQ(duplicates.groups, 1);  // both huge sizes read as the largest size
    EXPECT_EQ(result.TopLevelCount(), 4);
}

TEST(DuplicateKeys, NamesRoundTrip) {
    for (const TDuplicateKey key : {TDuplicateKey::NameSize, TDuplicateKey::Size,
                                    TDuplicateKey::ArtistTitle, TDuplicateKey::ArtistAlbumTitle}) {
        EXPECT_EQ(DuplicateKeyOfName(DuplicateKeyName(key)), key);
    }
    EXPECT_FALSE(DuplicateKeyOfName(QStringLiteral("title")));
}
