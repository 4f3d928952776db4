#include <gtest/gtest.h>

#include "core/tags/ID3v2.h"
#include "core/tags/ReadResult.h"
#include "core/tags/TagBuilders.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

using TResult = TReadResult<TID3v2>;

TResult ReadBytes(const std::string& bytes) {
    return ReadWith<TID3v2>(bytes);
}

// A tag followed by some audio, as in a real file.
TResult ReadTag(uint8_t major, const std::string& frames, uint8_t flags = 0, size_t padding = 0) {
    return ReadBytes(ID3v2Tag(major, frames, flags, padding) + AudioLike(500));
}

void ExpectCleared(const TID3v2& tag) {
    EXPECT_FALSE(tag.TagFound);
    for (const std::string* text :
         {&tag.Title, &tag.Artist, &tag.Album, &tag.Year, &tag.Comment, &tag.Genre}) {
        EXPECT_EQ(*text, "");
    }
    EXPECT_EQ(tag.Track, "0");
}

}  // namespace

TEST(ID3v2, FileWithoutTagIsASuccessfulReadWithoutTag) {
    TResult r = ReadBytes(AudioLike(100));
    EXPECT_TRUE(r.Ok);
    ExpectCleared(r.Tag);

    r = ReadBytes("ID3\x04");  // shorter than a header
    EXPECT_FALSE(r.Ok);
    ExpectCleared(r.Tag);

    // A version this reader does not know is left to the other readers.
    r = ReadBytes(ID3v2Tag(5, Frame24("TIT2", Latin1Body("x"))));
    EXPECT_TRUE(r.Ok);
    ExpectCleared(r.Tag);

    r = ReadBytes(ID3v2Header(3, 0, 0) + AudioLike(100));
    EXPECT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "");
}

TEST(ID3v2, Version23FramesHavePlainSizesSoLongFramesAreSteppedOverRight) {
    // A 300-byte picture: its size bytes 00 00 01 2C would mean 172 if read as synchsafe.
    const TResult r = ReadTag(
        3,
        Frame23("APIC", std::string(300, '\x7f')) + Frame23("TIT2", Latin1Body("Song")) +
            Frame23("TPE1", Latin1Body("Artist")) + Frame23("TALB", Latin1Body("Album")) +
            Frame23("TYER", Latin1Body("1999")) + Frame23("TRCK", Latin1Body("3/12")) +
            Frame23("TCON", Latin1Body("(17)")) + Frame23("COMM", CommentBody(0, "", "Nice")),
        0, 100);
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "Song");
    EXPECT_EQ(r.Tag.Artist, "Artist");
    EXPECT_EQ(r.Tag.Album, "Album");
    EXPECT_EQ(r.Tag.Year, "1999");
    EXPECT_EQ(r.Tag.Track, "3/12");
    EXPECT_EQ(r.Tag.Genre, "Rock");  // the reference to the genre table, resolved
    EXPECT_EQ(r.Tag.Comment, "Nice");
}

TEST(ID3v2, Version24FramesHaveSynchsafeSizes) {
    const TResult r = ReadTag(
        4, Frame24("APIC", std::string(200, '\x7f')) + Frame24("TIT2", Utf8Body("Title \u00e9")));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Title \u00e9");

    // Writers that put plain numbers into 2.4 frames give themselves away by a top bit.
    const std::string plain = "APIC" + BigEndian(200, 4) + Bytes({0, 0}) + std::string(200, 'p');
    const TResult plainSizes = ReadTag(4, plain + Frame24("TIT2", Latin1Body("After")));
    ASSERT_TRUE(plainSizes.Ok);
    EXPECT_EQ(plainSizes.Tag.Title, "After");
}

TEST(ID3v2, Version22HasShortFrameHeadersAndThreeLetterIdentifiers) {
    const TResult r = ReadTag(
        2, Frame22("PIC", std::string(300, 'p')) + Frame22("TT2", Latin1Body("Old")) +
               Frame22("TP1", Utf16Body(u"Art")) + Frame22("TAL", Latin1Body("Alb")) +
               Frame22("TYE", Latin1Body("1997")) + Frame22("TRK", Latin1Body("5")) +
               Frame22("TCO", Latin1Body("Rock")) + Frame22("COM", CommentBody(0, "", "Said")) +
               Frame22("TXX", Latin1Body("other")));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Old");
    EXPECT_EQ(r.Tag.Artist, "Art");
    EXPECT_EQ(r.Tag.Album, "Alb");
    EXPECT_EQ(r.Tag.Year, "1997");
    EXPECT_EQ(r.Tag.Track, "5");
    EXPECT_EQ(r.Tag.Genre, "Rock");
    EXPECT_EQ(r.Tag.Comment, "Said");

    // 2.2 defined a compression flag but never a compression: nothing can be read.
    const TResult compressed = ReadTag(2, Frame22("TT2", Latin1Body("Old")), 0x40);
    EXPECT_TRUE(compressed.Ok);
    EXPECT_TRUE(compressed.Tag.TagFound);
    EXPECT_EQ(compressed.Tag.Title, "");
}

TEST(ID3v2, TagSizeIsSynchsafeAndBoundsTheWalk) {
    // Size bytes 00 00 02 01 mean 257: a frame that ends exactly there is read.
    const std::string frame = Frame23("TIT2", Latin1Body(std::string(257 - 10 - 1, 'a')));
    ASSERT_EQ(frame.size(), 257u);
    std::string bytes = "ID3" + Bytes({3, 0, 0, 0x00, 0x00, 0x02, 0x01}) + frame;
    TResult r = ReadBytes(bytes + AudioLike(50));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title.size(), 246u);

    // The top bits of the size bytes do not count.
    bytes[8] = '\x82';
    r = ReadBytes(bytes + AudioLike(50));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title.size(), 246u);

    // Frames after the tag's end belong to the audio and are not read.
    r = ReadBytes(ID3v2Tag(3, Frame23("TIT2", Latin1Body("In"))) +
                  Frame23("TPE1", Latin1Body("Out")));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "In");
    EXPECT_EQ(r.Tag.Artist, "");
}

TEST(ID3v2, PaddingEndsTheWalk) {
    const std::string afterPadding = std::string(20, '\0') + Frame23("TPE1", Latin1Body("Ghost"));
    const TResult r = ReadTag(3, Frame23("TIT2", Latin1Body("Song")) + afterPadding);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Song");
    EXPECT_EQ(r.Tag.Artist, "");

    // Fewer bytes than a frame header before the end count as padding as well.
    const TResult shortRest = ReadTag(3, Frame23("TIT2", Latin1Body("Song")) + "TPE");
    EXPECT_TRUE(shortRest.Ok);
    EXPECT_EQ(shortRest.Tag.Title, "Song");
}

TEST(ID3v2, BrokenSizesFailTheReadAndClearEverything) {
    const std::string title = Frame23("TIT2", Latin1Body("Song"));
    // The tag announces more than the file holds.
    TResult r = ReadBytes(ID3v2Header(3, 0, 5000) + title + Frame23("TPE1", Latin1Body("A")));
    EXPECT_FALSE(r.Ok);
    ExpectCleared(r.Tag);

    // A frame that runs past the tag, although the file goes on.
    std::string oversized = title + "TALB" + BigEndian(100, 4) + Bytes({0, 0}) + Latin1Body("x");
    r = ReadBytes(ID3v2Header(3, 0, static_cast<uint32_t>(oversized.size())) + oversized +
                  AudioLike(1000));
    EXPECT_FALSE(r.Ok);
    ExpectCleared(r.Tag);

    // A picture that runs past the end of a truncated file.
    const std::string cut =
        ID3v2Tag(4, Frame24("TIT2", Latin1Body("Song")) + Frame24("APIC", std::string(99000, 'p')));
    r = ReadBytes(cut.substr(0, 5000));
    EXPECT_FALSE(r.Ok);
    ExpectCleared(r.Tag);

    // A huge size in a frame header is refused before anything is allocated.
    r = ReadTag(3, "TIT2" + Bytes({0xFF, 0xFF, 0xFF, 0xF0, 0, 0}) + Latin1Body("x"));
    EXPECT_FALSE(r.Ok);
}

TEST(ID3v2, EveryTextEncodingIsDecoded) {
    TResult r = ReadTag(3, Frame23("TIT2", Latin1Body("  Song  ") + '\0') +
                               Frame23("TPE1", Bytes({1, 0xFF, 0xFE, 'A', 0, 'B', 0, 0, 0})) +
                               Frame23("TALB", Bytes({1, 0xFE, 0xFF, 0, 'A'})) +
                               Frame23("TYER", Utf8Body("2004")) +
                               Frame23("TCON", Latin1Body("Caf\xe9 \x80")));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Song");
    EXPECT_EQ(r.Tag.Artist, "AB");
    EXPECT_EQ(r.Tag.Album, "A");
    EXPECT_EQ(r.Tag.Year, "2004");
    EXPECT_EQ(r.Tag.Genre, "Caf\u00e9 \u20ac");

    // Encoding 2 is big-endian UTF-16 without a mark; characters beyond the first plane survive
    // as surrogate pairs, a lone surrogate becomes U+FFFD.
    r = ReadTag(4, Frame24("TIT2", "\x02" + Utf16(u"\u0416\U0001F600", true)) +
                       Frame24("TPE1", Utf16Body(u"x\xD800y")) +
                       Frame24("TALB", Utf8Body("ok \xC3\x28 \xF0\x9F\x98\x80")));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "\u0416\U0001F600");
    EXPECT_EQ(r.Tag.Artist, "x\ufffdy");
    EXPECT_EQ(r.Tag.Album, "ok \ufffd( \U0001F600");

    // UTF-16 without a byte-order mark and an empty UTF-8 body give empty values; an unknown
    // encoding leaves the earlier value in place.
    r = ReadTag(3, Frame23("TIT2", Latin1Body("Kept")) + Frame23("TIT2", Bytes({7, 'x'})) +
                       Frame23("TALB", Bytes({1, 'A', 0})) + Frame23("TYER", Bytes({3})));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Kept");
    EXPECT_EQ(r.Tag.Album, "");
    EXPECT_EQ(r.Tag.Year, "");
}

TEST(ID3v2, RecordingTimeGivesTheYearOnlyWithoutAYearFrame) {
    TResult r = ReadTag(4, Frame24("TDRC", Utf8Body("2004-05-17T10:00")));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Year, "2004");

    r = ReadTag(4, Frame24("TDRC", Utf8Body("2004")) + Frame24("TYER", Latin1Body("1999")));
    EXPECT_EQ(r.Tag.Year, "1999");
    r = ReadTag(4, Frame24("TYER", Latin1Body("1999")) + Frame24("TDRC", Utf8Body("2004")));
    EXPECT_EQ(r.Tag.Year, "1999");
}

TEST(ID3v2, SeveralValuesIn24AreJoinedWhileEarlierVersionsStopAtTheFirst) {
    TResult r = ReadTag(
        4, Frame24("TPE1", Utf8Body(std::string("One\0Two\0", 8))) +
               Frame24("TCON", Latin1Body(std::string("Rock\0 Pop ", 10))) +
               Frame24("TALB", "\x01" + Utf16(std::u16string_view(u"\uFEFFA\0\uFEFFB", 5), false)));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Artist, "One; Two");
    EXPECT_EQ(r.Tag.Genre, "Rock; Pop");
    EXPECT_EQ(r.Tag.Album, "A; B");

    r = ReadTag(3, Frame23("TPE1", Latin1Body(std::string("One\0Two", 7))) +
                       Frame23("TIT2", Utf16Body(std::u16string(u"A\0B", 3))));
    EXPECT_EQ(r.Tag.Artist, "One");
    EXPECT_EQ(r.Tag.Title, "A");
}

TEST(ID3v2, DescribedCommentsDoNotReplaceThePlainComment) {
    TResult r = ReadTag(3, Frame23("COMM", CommentBody(0, "abc", "Nice")));
    EXPECT_EQ(r.Tag.Comment, "Nice");

    r = ReadTag(3, Frame23("COMM", CommentBody(0, "", "Mine")) +
                       Frame23("COMM", CommentBody(0, "iTunNORM", " 0000 0001")));
    EXPECT_EQ(r.Tag.Comment, "Mine");

    r = ReadTag(
        3, Frame23("COMM", CommentBody(0, "iTunNORM", "data")) +
               Frame23("COMM", CommentBody(1, "\xFF\xFE", "\xFF\xFE" + Utf16(u"Mine", false))) +
               Frame23("COMM", CommentBody(0, "", "Later")));
    EXPECT_EQ(r.Tag.Comment, "Later");

    r = ReadTag(4, Frame24("COMM", CommentBody(3, "x", "First")) +
                       Frame24("COMM", CommentBody(2, Utf16(u"d", true), Utf16(u"Second", true))));
    EXPECT_EQ(r.Tag.Comment, "Second");

    // A description without its terminator leaves no text.
    r = ReadTag(3, Frame23("COMM", Bytes({0}) + "engabc"));
    EXPECT_EQ(r.Tag.Comment, "");
}

TEST(ID3v2, UnsynchronisationIsUndone) {
    // 0xFF is "ÿ" in Windows-1252; the size of the frame counts the bytes after resynchronising.
    const std::string frames =
        Frame23("TIT2", Latin1Body("\xFF\xFF")) + Frame23("TPE1", Utf16Body(u"\u00ff"));
    const std::string unsynchronised = Unsynchronise(frames);
    ASSERT_NE(unsynchronised.size(), frames.size());
    TResult r = ReadBytes(ID3v2Header(3, 0x80, static_cast<uint32_t>(unsynchronised.size())) +
                          unsynchronised + AudioLike(10));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "\u00ff\u00ff");
    EXPECT_EQ(r.Tag.Artist, "\u00ff");

    // In 2.4 each frame says so itself, or the header says it for every frame.
    const std::string body = Unsynchronise(Utf16Body(u"\u00ff"));
    r = ReadTag(4, Frame24("TIT2", body, 0x02) + Frame24("TALB", Latin1Body("\xFF")));
    EXPECT_EQ(r.Tag.Title, "\u00ff");
    EXPECT_EQ(r.Tag.Album, "\u00ff");
    r = ReadTag(4, Frame24("TIT2", body), 0x80);
    EXPECT_EQ(r.Tag.Title, "\u00ff");
}

TEST(ID3v2, ExtendedHeaderIsSteppedOver) {
    const std::string title = Frame23("TIT2", Latin1Body("Song"));
    TResult r = ReadTag(3, BigEndian(6, 4) + std::string(6, '\0') + title, 0x40);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Song");

    r = ReadTag(4, Synchsafe(6) + Bytes({1, 0}) + Frame24("TIT2", Latin1Body("Song")), 0x40);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Song");

    r = ReadTag(3, BigEndian(600, 4) + title, 0x40);  // larger than the tag
    EXPECT_FALSE(r.Ok);
}

TEST(ID3v2, FrameFlagsAreHonoured) {
    // Compressed and encrypted frames are stepped over; a grouping byte is not text.
    TResult r = ReadTag(3, Frame23("TIT2", Bytes({0, 0, 0, 0x10}) + "xyz", 0x80) +
                               Frame23("TPE1", Latin1Body("Enc"), 0x40) +
                               Frame23("TALB", "\x05" + Latin1Body("Grouped"), 0x20) +
                               Frame23("TYER", Latin1Body("2001")));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "");
    EXPECT_EQ(r.Tag.Artist, "");
    EXPECT_EQ(r.Tag.Album, "Grouped");
    EXPECT_EQ(r.Tag.Year, "2001");

    // 2.4: the data-length indicator gives the length of the text that follows it.
    r = ReadTag(4, Frame24("TIT2", Synchsafe(5) + Latin1Body("Song") + "junk", 0x01) +
                       Frame24("TPE1", "\x07" + Synchsafe(3) + Latin1Body("AB"), 0x41) +
                       Frame24("TALB", Synchsafe(99) + Latin1Body("Liar"), 0x01) +
                       Frame24("TYER", Latin1Body("2002"), 0x08) + Frame24("TRCK", "", 0));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Song");
    EXPECT_EQ(r.Tag.Artist, "AB");
    EXPECT_EQ(r.Tag.Album, "");
    EXPECT_EQ(r.Tag.Year, "");
    EXPECT_EQ(r.Tag.Track, "0");  // an empty frame is stepped over
}
