// Files written by real encoders (tests/data/music, made by tests/data/music/README.md's
// commands), so the readers are checked against layouts they did not define themselves.
#include <gtest/gtest.h>

#include <QString>

#include "core/tags/FLACTag.h"
#include "core/tags/MP4Tag.h"
#include "core/tags/OggTag.h"

using namespace melodrix;

namespace {

QString MusicFile(const char* name) {
    return QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/") + QString::fromLatin1(name);
}

}  // namespace

TEST(MusicFiles, FlacWithAPictureBlockBeforeTheComments) {
    TFLACTag tag;
    ASSERT_TRUE(tag.Read(MusicFile("picture-first.flac")));
    EXPECT_TRUE(tag.TagFound);
    EXPECT_EQ(tag.Title, "Flac Title");
    EXPECT_EQ(tag.Artist, "First Artist; Second Artist");
    EXPECT_EQ(tag.Album,
              "\xC3\x9Cn\xC3\xAF"
              "c\xC3\xB6"
              "d\xC3\xA9 Album");
    EXPECT_EQ(tag.Year, "2004");
    EXPECT_EQ(tag.Comment, "Described");  // DESCRIPTION, as there is no COMMENT
    EXPECT_EQ(tag.Genre, "Jazz");
    EXPECT_EQ(tag.Track, "3");
}

TEST(MusicFiles, OggVorbis) {
    TOggTag tag;
    ASSERT_TRUE(tag.Read(MusicFile("tagged.ogg")));
    EXPECT_TRUE(tag.TagFound);
    EXPECT_EQ(tag.Codec, TOggCodec::Vorbis);
    EXPECT_EQ(tag.Title, "Vorbis Title");
    EXPECT_EQ(tag.Artist, "Vorbis Artist");
    EXPECT_EQ(tag.Album, "Vorbis Album");
    EXPECT_EQ(tag.Year, "1999");
    EXPECT_EQ(tag.Comment, "Plain comment; Second comment");
    EXPECT_EQ(tag.Genre, "Rock");
}

TEST(MusicFiles, OpusWhoseCommentsSpanTwoPages) {
    TOggTag tag;
    ASSERT_TRUE(tag.Read(MusicFile("long-comments.opus")));
    EXPECT_TRUE(tag.TagFound);
    EXPECT_EQ(tag.Codec, TOggCodec::Opus);
    EXPECT_EQ(tag.Title, "Opus Title");
    EXPECT_EQ(tag.Artist, "Opus Artist");
    EXPECT_EQ(tag.Album, "Opus Album");
    EXPECT_EQ(tag.Year, "2021");
    EXPECT_EQ(tag.Genre, "Electronic");
    // 3,450 repetitions: more than the 65,025 bytes one page can carry.
    std::string comment;
    for (int i = 0; i < 3450; ++i) {
        comment += "Long comment line. ";
    }
    EXPECT_EQ(tag.Comment, comment);
}

TEST(MusicFiles, M4aWithTheMovieAfterTheAudio) {
    TMP4Tag tag;
    ASSERT_TRUE(tag.Read(MusicFile("moov-after-audio.m4a")));
    EXPECT_TRUE(tag.TagFound);
    EXPECT_EQ(tag.Title, "MP4 Title");
    EXPECT_EQ(tag.Artist, "Album Artist Only");  // aART, as there is no \xA9ART
    EXPECT_EQ(tag.Album, "MP4 Album");
    EXPECT_EQ(tag.Year, "2010");
    EXPECT_EQ(tag.Comment, "MP4 comment");
    EXPECT_EQ(tag.Genre, "Ambient");
    EXPECT_EQ(tag.Track, "5/9");
}
