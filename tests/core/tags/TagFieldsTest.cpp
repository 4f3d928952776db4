// Track, disc and album artist as each kind of tag gives them, and the genre references of
// ID3v2.
#include <gtest/gtest.h>

#include <QString>

#include "core/tags/APEv2.h"
#include "core/tags/FLACTag.h"
#include "core/tags/ID3v2.h"
#include "core/tags/ID3v2Genre.h"
#include "core/tags/MP4Tag.h"
#include "core/tags/MusicTagBuilders.h"
#include "core/tags/ReadResult.h"
#include "core/tags/VorbisComments.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

TEST(TagFields, ID3v2GivesDiscAndAlbumArtistInEveryVersion) {
    auto r = ReadWith<TID3v2>(ID3v2Tag(3, Frame23("TRCK", Latin1Body("3/12")) +
                                              Frame23("TPOS", Latin1Body("1/2")) +
                                              Frame23("TPE2", Utf16Body(u"Band"))) +
                              AudioLike(100));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Track, "3/12");
    EXPECT_EQ(r.Tag.Disc, "1/2");
    EXPECT_EQ(r.Tag.AlbumArtist, "Band");

    r = ReadWith<TID3v2>(
        ID3v2Tag(2, Frame22("TPA", Latin1Body("2")) + Frame22("TP2", Latin1Body("Old Band"))));
    EXPECT_EQ(r.Tag.Disc, "2");
    EXPECT_EQ(r.Tag.AlbumArtist, "Old Band");

    r = ReadWith<TID3v2>(ID3v2Tag(4, Frame24("TPE2", Utf8Body(std::string("A\0B", 3)))));
    EXPECT_EQ(r.Tag.AlbumArtist, "A; B");
    EXPECT_EQ(r.Tag.Disc, "");
}

TEST(TagFields, APEv2GivesDiscAndAlbumArtist) {
    const auto r =
        ReadWith<TAPEv2>(AudioLike(100) + ApeTag({ApeItem("Track", "7/9"), ApeItem("DISC", "1/3"),
                                                  ApeItem("Album Artist", "Ensemble \xC3\xA9")},
                                                 true));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Track, "7/9");
    EXPECT_EQ(r.Tag.Disc, "1/3");
    EXPECT_EQ(r.Tag.AlbumArtist, "Ensemble \xC3\xA9");
}

TEST(TagFields, CommentsJoinNumbersWithTheirTotals) {
    const auto read = [](const std::vector<std::string>& entries) {
        return ReadWith<TFLACTag>(
                   FlacFile({FlacBlock(kFlacComment, VorbisCommentList(entries), true)}))
            .Tag;
    };
    TFLACTag tag =
        read({"TRACKNUMBER=3", "TRACKTOTAL=12", "DISCNUMBER=1", "DISCTOTAL=2", "ALBUMARTIST=Band"});
    EXPECT_EQ(tag.Track, "3/12");
    EXPECT_EQ(tag.Disc, "1/2");
    EXPECT_EQ(tag.AlbumArtist, "Band");
    // A number that has its total already keeps it; a total alone is no number.
    tag = read({"TRACKNUMBER=3/10", "TOTALTRACKS=12", "DISCTOTAL=2", "album artist=Other"});
    EXPECT_EQ(tag.Track, "3/10");
    EXPECT_EQ(tag.Disc, "");
    EXPECT_EQ(tag.AlbumArtist, "Other");
    tag = read({"TRACKTOTAL=12"});
    EXPECT_EQ(tag.Track, "0");
}

TEST(TagFields, MP4GivesDiscAndAlbumArtist) {
    const std::string disc =
        Atom("disk", DataAtom(0, BigEndian(0, 2) + BigEndian(2, 2) + BigEndian(3, 2)));
    const auto r = ReadWith<TMP4Tag>(Mp4File({TextItem("\xA9"
                                                       "ART",
                                                       "Artist"),
                                              TextItem("aART", "Band"), disc},
                                             true));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Disc, "2/3");
    EXPECT_EQ(r.Tag.AlbumArtist, "Band");
    EXPECT_EQ(r.Tag.Artist, "Artist");
    // Without an artist the album artist stands in for it, as before, and is kept as well.
    const auto alone = ReadWith<TMP4Tag>(Mp4File({TextItem("aART", "Band")}, false));
    EXPECT_EQ(alone.Tag.Artist, "Band");
    EXPECT_EQ(alone.Tag.AlbumArtist, "Band");
    EXPECT_EQ(alone.Tag.Disc, "");
}

TEST(TagFields, GenreReferencesAreResolvedAndPlainTextsKept) {
    struct TCase {
        const char* Text;
        bool Version24;
        const char* Genre;
    };
    const TCase cases[] = {
        {"(17)", false, "Rock"},
        {"17", false, "Rock"},
        {"(9)Metal", false, "Metal"},
        {"(RX)", false, "Remix"},
        {"(CR)", false, "Cover"},
        {"(17)(9)", false, "Rock; Metal"},
        {"(17)(17)", false, "Rock"},
        {"RX", true, "Remix"},
        {"RX", false, "RX"},
        {"0", true, "Blues"},
        {"Rock; 9", true, "Rock; Metal"},  // the values of a 2.4 frame, joined by the reader
        {"((Parenthesised)", false, "(Parenthesised)"},
        {"(Rock)", false, "(Rock)"},
        {"(200)", false, "(200)"},
        {"200", false, "200"},
        {"(17", false, "(17"},
        {"Rock & Roll", false, "Rock & Roll"},
        {"1999", false, "1999"},
        {"", false, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ResolveGenreReferences(c.Text, c.Version24), c.Genre) << c.Text;
    }
    // Through the reader, in both versions that define references.
    EXPECT_EQ(ReadWith<TID3v2>(ID3v2Tag(3, Frame23("TCON", Latin1Body("(9)Metal")))).Tag.Genre,
              "Metal");
    EXPECT_EQ(ReadWith<TID3v2>(ID3v2Tag(4, Frame24("TCON", Latin1Body(std::string("17\0CR", 5)))))
                  .Tag.Genre,
              "Rock; Cover");
}

TEST(TagFields, AnEncodersID3v2TagGivesTrackDiscAndAlbumArtist) {
    TID3v2 tag;
    ASSERT_TRUE(tag.Read(QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/tagged-vbr.mp3")));
    EXPECT_EQ(tag.Title, "Lame Title");
    EXPECT_EQ(tag.Track, "2/9");
    EXPECT_EQ(tag.Disc, "1/2");
    EXPECT_EQ(tag.AlbumArtist, "Lame Band");
}
