#include <gtest/gtest.h>

#include "core/tags/FLACTag.h"
#include "core/tags/MusicTagBuilders.h"
#include "core/tags/ReadResult.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

// The comment list is read through the FLAC reader, the simplest container around it.
TReadResult<TFLACTag> ReadList(const std::string& list) {
    return ReadWith<TFLACTag>(FlacFile({FlacBlock(kFlacComment, list, true)}));
}

}  // namespace

TEST(VorbisComments, KeysMatchWithoutCaseAndRepeatedKeysAreJoined) {
    const auto r =
        ReadList(VorbisCommentList({"title=Lower", "Artist=One", "ARTIST=Two", "ARTIST=",
                                    "ALBUM=\xC3\x9C"
                                    "ber",
                                    "GENRE=Jazz", "GENRE=Funk", "TRACKNUMBER=4",
                                    "TITLES=not a title", "no equals sign", "=empty key"}));
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "Lower");
    EXPECT_EQ(r.Tag.Artist, "One; Two");  // the empty value adds nothing
    EXPECT_EQ(r.Tag.Album,
              "\xC3\x9C"
              "ber");
    EXPECT_EQ(r.Tag.Genre, "Jazz; Funk");
    EXPECT_EQ(r.Tag.Track, "4");
    EXPECT_EQ(r.Tag.Year, "");
    EXPECT_EQ(r.Tag.Comment, "");
}

TEST(VorbisComments, DateGivesTheYearAndWinsOverYearAsCommentWinsOverDescription) {
    auto r = ReadList(VorbisCommentList(
        {"YEAR=1990", "DATE=2004-05-17", "DESCRIPTION=described", "COMMENT=commented"}));
    EXPECT_EQ(r.Tag.Year, "2004");
    EXPECT_EQ(r.Tag.Comment, "commented");
    r = ReadList(VorbisCommentList({"YEAR=1990", "DESCRIPTION=described"}));
    EXPECT_EQ(r.Tag.Year, "1990");
    EXPECT_EQ(r.Tag.Comment, "described");
    // A date that does not start with four digits is kept as written.
    r = ReadList(VorbisCommentList({"DATE=Spring 99"}));
    EXPECT_EQ(r.Tag.Year, "Spring 99");
    r = ReadList(VorbisCommentList({"DATE=199"}));
    EXPECT_EQ(r.Tag.Year, "199");
}

TEST(VorbisComments, MalformedTextIsMendedAndZerosDropped) {
    const auto r = ReadList(VorbisCommentList({std::string("TITLE=a\0b", 9), "ARTIST=\xFF\xC3"}));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "ab");
    EXPECT_EQ(r.Tag.Artist, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(VorbisComments, ListsClaimingMoreBytesThanTheyHaveAreRefused) {
    const std::string good = VorbisCommentList({"TITLE=x"});
    // The vendor size, the count and an entry size each run past the end.
    for (const std::string& list :
         {LittleEndian32(1000) + "v", LittleEndian32(0) + LittleEndian32(0x40000000),
          LittleEndian32(0) + LittleEndian32(1) + LittleEndian32(50) + "TITLE=x",
          good.substr(0, good.size() - 1), std::string("\x01\x00", 2)}) {
        const std::string file = FlacFile({FlacBlock(kFlacComment, list, true)});
        const auto r = ReadWith<TFLACTag>(file);
        // The bad block is skipped: the file reads, without a tag.
        EXPECT_TRUE(r.Ok);
        EXPECT_FALSE(r.Tag.TagFound);
        EXPECT_EQ(r.Tag.Title, "");
    }
}
