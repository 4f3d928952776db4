#include <gtest/gtest.h>

#include "core/tags/MusicTagBuilders.h"
#include "core/tags/OggTag.h"
#include "core/tags/ReadResult.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

using TResult = TReadResult<TOggTag>;

const std::vector<std::string> kEntries = {"TITLE=Song", "ARTIST=Band", "DATE=2021-03-04",
                                           "GENRE=Electronic"};

void ExpectEntries(const TResult& r, TOggCodec codec) {
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Codec, codec);
    EXPECT_EQ(r.Tag.Title, "Song");
    EXPECT_EQ(r.Tag.Artist, "Band");
    EXPECT_EQ(r.Tag.Year, "2021");
    EXPECT_EQ(r.Tag.Genre, "Electronic");
}

}  // namespace

TEST(OggTag, OpusVorbisAndFlacCommentHeadersAreRead) {
    ExpectEntries(ReadWith<TOggTag>(OggStream(1, {OpusHead(), OpusTags(kEntries), AudioLike(900)})),
                  TOggCodec::Opus);
    ExpectEntries(
        ReadWith<TOggTag>(OggStream(2, {VorbisIdentification(), VorbisCommentPacket(kEntries),
                                        std::string(3000, '\x05'), AudioLike(900)})),
        TOggCodec::Vorbis);
    const std::string flacHead =
        "\x7F"
        "FLAC" +
        std::string(9, '\0') + "fLaC" + FlacBlock(0, std::string(34, '\0'));
    ExpectEntries(ReadWith<TOggTag>(OggStream(
                      3, {flacHead, FlacBlock(kFlacComment, VorbisCommentList(kEntries), true)})),
                  TOggCodec::FLAC);
}

TEST(OggTag, CommentPacketSpanningPagesIsPutTogether) {
    // One segment a page: the comment packet is spread over dozens of pages, and a long value
    // crosses page borders.
    std::vector<std::string> entries = kEntries;
    entries.push_back("COMMENT=" + std::string(700, 'c'));
    const TResult r = ReadWith<TOggTag>(OggStream(4, {OpusHead(), OpusTags(entries)}, 1));
    ExpectEntries(r, TOggCodec::Opus);
    EXPECT_EQ(r.Tag.Comment, std::string(700, 'c'));
    // A packet of exactly 255 bytes ends with a zero lacing value on the page after.
    std::vector<std::string> exact = {"TITLE=Song"};
    const size_t fill = 255 - OpusTags({"TITLE=Song", "GENRE="}).size();
    exact.push_back("GENRE=" + std::string(fill, 'g'));
    ASSERT_EQ(OpusTags(exact).size(), 255u);
    const TResult full = ReadWith<TOggTag>(OggStream(4, {OpusHead(), OpusTags(exact)}, 2));
    ASSERT_TRUE(full.Ok);
    EXPECT_EQ(full.Tag.Genre, std::string(fill, 'g'));
}

TEST(OggTag, PagesOfOtherStreamsAreSteppedOver) {
    // The second stream's pages come between the first stream's two header pages.
    const std::string first = OggStream(10, {OpusHead(), OpusTags(kEntries)}, 1);
    const std::string other = OggStream(11, {OpusHead(), OpusTags({"TITLE=Other"})});
    const size_t firstPage = 27 + 1 + OpusHead().size();
    const TResult r =
        ReadWith<TOggTag>(first.substr(0, firstPage) + other + first.substr(firstPage));
    ExpectEntries(r, TOggCodec::Opus);
}

TEST(OggTag, UnknownCodecsAndOtherFilesHaveNoTag) {
    for (const std::string& file :
         {OggStream(1, {std::string("fishead\0", 8) + std::string(40, '\0'), "x"}), AudioLike(300),
          std::string("Ogg"), std::string()}) {
        const TResult r = ReadWith<TOggTag>(file);
        EXPECT_TRUE(r.Ok);
        EXPECT_FALSE(r.Tag.TagFound);
    }
}

TEST(OggTag, CutOrBrokenStreamsFailTheRead) {
    const std::string stream = OggStream(1, {OpusHead(), OpusTags(kEntries)});
    std::string badVersion = stream;
    badVersion[4] = 1;
    std::string notFirst = stream;
    notFirst[5] = 0;  // the first page lacks the first-page flag
    std::string wrongHeader = OggStream(1, {OpusHead(), VorbisCommentPacket(kEntries)});
    for (const std::string& file :
         {stream.substr(0, stream.size() - 3), stream.substr(0, 40), badVersion, notFirst,
          wrongHeader, OggStream(1, {OpusHead()})}) {
        const TResult r = ReadWith<TOggTag>(file);
        EXPECT_FALSE(r.Ok);
        EXPECT_FALSE(r.Tag.TagFound);
        EXPECT_EQ(r.Tag.Title, "");
    }
}
