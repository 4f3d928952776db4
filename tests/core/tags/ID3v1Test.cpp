#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/tags/ID3v1.h"
#include "core/tags/TagBuilders.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

TID3v1 ReadBytes(const std::string& bytes, bool* result = nullptr) {
    TID3v1 reader;
    TMemoryByteSource source(bytes);
    const bool ok = reader.Read(source);
    if (result != nullptr) {
        *result = ok;
    }
    return reader;
}

void ExpectCleared(const TID3v1& reader) {
    EXPECT_FALSE(reader.TagFound);
    EXPECT_EQ(reader.Revision, 1);
    EXPECT_EQ(reader.Title, "");
    EXPECT_EQ(reader.Artist, "");
    EXPECT_EQ(reader.Album, "");
    EXPECT_EQ(reader.Year, "");
    EXPECT_EQ(reader.Comment, "");
    EXPECT_EQ(reader.Track, 0);
    EXPECT_EQ(reader.GenreIndex, 255);
}

}  // namespace

TEST(ID3v1, ReadsTheLast128BytesAndTrimsOnlyTrailingPadding) {
    std::string tag = ID3v1Record("  Song", "Artist   ", "Album", "1999", "Nice", 17);
    tag.replace(33 + 9, 3, "\x01\x1f ");  // control bytes count as padding too
    bool ok = false;
    const TID3v1 reader = ReadBytes(AudioLike(1000) + tag, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(reader.TagFound);
    EXPECT_EQ(reader.Revision, 1);
    EXPECT_EQ(reader.Title, "  Song");
    EXPECT_EQ(reader.Artist, "Artist");
    EXPECT_EQ(reader.Album, "Album");
    EXPECT_EQ(reader.Year, "1999");
    EXPECT_EQ(reader.Comment, "Nice");
    EXPECT_EQ(reader.Track, 0);
    EXPECT_EQ(reader.GenreIndex, 17);
    EXPECT_EQ(GenreNames[reader.GenreIndex], "Rock");
}

TEST(ID3v1, NoTagMeansFalseAndClearedFields) {
    bool ok = true;
    ExpectCleared(ReadBytes(ID3v1Record("T", "A", "B", "2000", "", 1).substr(1), &ok));
    EXPECT_FALSE(ok);  // 127 bytes only

    std::string lower = ID3v1Record("T", "A", "B", "2000", "", 1);
    lower.replace(0, 3, "tag");
    ExpectCleared(ReadBytes(AudioLike(300) + lower, &ok));
    EXPECT_FALSE(ok);
    lower.replace(0, 3, "Tag");
    ExpectCleared(ReadBytes(lower, &ok));
    EXPECT_FALSE(ok);

    // The "TAG" inside an APEv2 block that happens to start 131 bytes before the end.
    const std::string ape = "APETAGEX" + std::string(123, '\x01');
    ExpectCleared(ReadBytes(AudioLike(10) + ape, &ok));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(ReadBytes("APX" + ape.substr(3)).TagFound);

    // A tag that is not in the last 128 bytes is not a tag.
    ExpectCleared(ReadBytes(ID3v1Record("T", "A", "B", "2000", "", 1) + "x", &ok));
    EXPECT_FALSE(ok);
}

TEST(ID3v1, TrackByteLayoutIsChosenByBytes125And126) {
    const std::string comment30 = "abcdefghijklmnopqrstuvwxyzABCD";
    std::string tag = ID3v1Record("T", "A", "B", "2000", comment30, 2);

    tag[125] = 0, tag[126] = 0;
    TID3v1 reader = ReadBytes(tag);
    EXPECT_EQ(reader.Revision, 1);
    EXPECT_EQ(reader.Track, 0);
    EXPECT_EQ(reader.Comment, comment30.substr(0, 28));  // the zeros end the comment

    tag[125] = 0, tag[126] = 7;
    reader = ReadBytes(tag);
    EXPECT_EQ(reader.Revision, 2);
    EXPECT_EQ(reader.Track, 7);
    EXPECT_EQ(reader.Comment, comment30.substr(0, 28));

    // A 1.0 comment ending in " x" looks like 1.1: it loses two characters and gives a track.
    tag[125] = ' ', tag[126] = 'x';
    reader = ReadBytes(tag);
    EXPECT_EQ(reader.Revision, 2);
    EXPECT_EQ(reader.Track, 'x');
    EXPECT_EQ(reader.Comment, comment30.substr(0, 28));

    tag[125] = ' ', tag[126] = ' ';
    reader = ReadBytes(tag);
    EXPECT_EQ(reader.Revision, 1);
    EXPECT_EQ(reader.Comment, comment30.substr(0, 28));  // trailing blanks trimmed

    tag[125] = 'y', tag[126] = 'z';
    reader = ReadBytes(tag);
    EXPECT_EQ(reader.Revision, 1);
    EXPECT_EQ(reader.Comment, comment30.substr(0, 28) + "yz");
    EXPECT_EQ(reader.GenreIndex, 2);
}

TEST(ID3v1, TextIsWindows1252AndEndsAtItsFirstZero) {
    // Taggers leave old text behind the zero that ends a shorter one.
    const std::string tag =
        ID3v1Record(std::string("New\0ld Title", 12), "Caf\xe9 \x80", "\x81", "19\0009", "", 0);
    const TID3v1 reader = ReadBytes(tag);
    EXPECT_EQ(reader.Title, "New");
    EXPECT_EQ(reader.Artist, "Caf\u00e9 \u20ac");
    EXPECT_EQ(reader.Album, "\ufffd");  // a byte without a character in the code page
    EXPECT_EQ(reader.Year, "19");
}

TEST(ID3v1, GenreTableHasExactly148NamesInOrder) {
    static_assert(GenreNames.size() == 148 && GenreCount == 148);
    EXPECT_EQ(GenreNames[0], "Blues");
    EXPECT_EQ(GenreNames[79], "Hard Rock");
    EXPECT_EQ(GenreNames[80], "Folk");
    EXPECT_EQ(GenreNames[92], "Progessive Rock");
    EXPECT_EQ(GenreNames[123], "A capella");
    EXPECT_EQ(GenreNames[147], "Synthpop");
    for (const std::string_view name : GenreNames) {
        EXPECT_FALSE(name.empty());
    }
    // The byte is kept as written; callers test the bound before naming it.
    EXPECT_EQ(ReadBytes(ID3v1Record("", "", "", "", "", 148)).GenreIndex, 148);
    EXPECT_EQ(ReadBytes(ID3v1Record("", "", "", "", "", 255)).GenreIndex, 255);
}

TEST(ID3v1, ReadsFilesByNameAndClearsBetweenReads) {
    QTemporaryDir dir;
    const std::string tagged = AudioLike(4000) + ID3v1Record("Song", "", "", "", "", 1);
    const QString withTag = melodrix::testing::WriteFile(dir.path(), QStringLiteral("a.mp3"),
                                                         QByteArray::fromStdString(tagged));
    const QString withoutTag = melodrix::testing::WriteFile(
        dir.path(), QStringLiteral("b.mp3"), QByteArray::fromStdString(AudioLike(4000)));
    TID3v1 reader;
    EXPECT_TRUE(reader.Read(withTag));
    EXPECT_EQ(reader.Title, "Song");
    EXPECT_FALSE(reader.Read(withoutTag));
    ExpectCleared(reader);
    EXPECT_TRUE(reader.Read(withTag));
    EXPECT_FALSE(reader.Read(dir.filePath(QStringLiteral("missing.mp3"))));
    ExpectCleared(reader);
    EXPECT_FALSE(reader.Read(dir.path()));  // a folder
}
