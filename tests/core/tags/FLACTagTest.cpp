#include <gtest/gtest.h>

#include "core/tags/FLACTag.h"
#include "core/tags/MusicTagBuilders.h"
#include "core/tags/ReadResult.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

using TResult = TReadResult<TFLACTag>;

const std::string kInfo = FlacBlock(kFlacStreamInfo, std::string(34, '\x01'));
const std::string kComments =
    FlacBlock(kFlacComment, VorbisCommentList({"TITLE=Song", "ARTIST=Band", "DATE=1999"}));

}  // namespace

TEST(FLACTag, CommentBlockIsFoundBehindOtherBlocksAndAnID3v2Tag) {
    const std::string picture = FlacBlock(kFlacPicture, std::string(5000, '\x02'));
    const std::string padding = FlacBlock(kFlacPadding, std::string(64, '\0'), true);
    for (const std::string& file :
         {FlacFile({kInfo, kComments, padding}), FlacFile({kInfo, picture, kComments, padding}),
          ID3v2Tag(3, Frame23("TIT2", Latin1Body("id3 title")), 0, 100) +
              FlacFile({kInfo, kComments, padding})}) {
        const TResult r = ReadWith<TFLACTag>(file);
        ASSERT_TRUE(r.Ok);
        EXPECT_TRUE(r.Tag.TagFound);
        EXPECT_EQ(r.Tag.Title, "Song");
        EXPECT_EQ(r.Tag.Artist, "Band");
        EXPECT_EQ(r.Tag.Year, "1999");
    }
}

TEST(FLACTag, StreamsWithoutCommentsOrWithoutTheMarkerHaveNoTag) {
    for (const std::string& file :
         {FlacFile({FlacBlock(kFlacStreamInfo, std::string(34, '\0'), true)}), AudioLike(500),
          std::string("fLa"), std::string(),
          // Blocks after the last one are not looked at.
          FlacFile({FlacBlock(kFlacStreamInfo, std::string(34, '\0'), true), kComments})}) {
        const TResult r = ReadWith<TFLACTag>(file);
        EXPECT_TRUE(r.Ok);
        EXPECT_FALSE(r.Tag.TagFound);
        EXPECT_EQ(r.Tag.Title, "");
    }
}

TEST(FLACTag, BrokenBlockHeadersFailTheReadAndLeaveFieldsCleared) {
    const std::string huge = "fLaC" + Bytes({kFlacPicture, 0xFF, 0xFF, 0xFF}) + "short";
    const std::string invalid = "fLaC" + Bytes({127, 0, 0, 0}) + kComments;
    const std::string cut = FlacFile({kInfo, kComments}, 0).substr(0, 4 + 38 + 2);
    const std::string noLastBlock = FlacFile({kInfo}, 0);
    for (const std::string& file : {huge, invalid, cut, noLastBlock}) {
        const TResult r = ReadWith<TFLACTag>(file);
        EXPECT_FALSE(r.Ok);
        EXPECT_FALSE(r.Tag.TagFound);
        EXPECT_EQ(r.Tag.Title, "");
        EXPECT_EQ(r.Tag.Track, "0");
    }
}
