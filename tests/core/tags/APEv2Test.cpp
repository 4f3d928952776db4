#include <gtest/gtest.h>

#include "core/tags/APEv2.h"
#include "core/tags/ReadResult.h"
#include "core/tags/TagBuilders.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

using TResult = TReadResult<TAPEv2>;

TResult ReadBytes(const std::string& bytes) {
    return ReadWith<TAPEv2>(bytes);
}

void ExpectCleared(const TAPEv2& tag) {
    EXPECT_FALSE(tag.TagFound);
    for (const std::string* text :
         {&tag.Title, &tag.Artist, &tag.Album, &tag.Year, &tag.Comment, &tag.Genre}) {
        EXPECT_EQ(*text, "");
    }
    EXPECT_EQ(tag.Track, "0");
}

const std::vector<std::string> kItems = {ApeItem("Title", "Abc"),       ApeItem("Artist", "Art"),
                                         ApeItem("Album", "Alb"),       ApeItem("Year", " 2001 "),
                                         ApeItem("Comment", "Com"),     ApeItem("Track", "7/9"),
                                         ApeItem("Genre", "Jazz\u00e9")};

void ExpectAllItems(const TResult& r) {
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "Abc");
    EXPECT_EQ(r.Tag.Artist, "Art");
    EXPECT_EQ(r.Tag.Album, "Alb");
    EXPECT_EQ(r.Tag.Year, "2001");
    EXPECT_EQ(r.Tag.Comment, "Com");
    EXPECT_EQ(r.Tag.Track, "7/9");
    EXPECT_EQ(r.Tag.Genre, "Jazz\u00e9");
}

}  // namespace

TEST(APEv2, TagIsFoundByItsFooterWithOrWithoutHeaderAndBeforeAnID3v1Tag) {
    ExpectAllItems(ReadBytes(AudioLike(5000) + ApeTag(kItems, false)));
    ExpectAllItems(ReadBytes(AudioLike(5000) + ApeTag(kItems, true)));
    ExpectAllItems(ReadBytes(ApeTag(kItems, true)));
    const std::string id3v1 = ID3v1Record("v1", "", "", "", "", 1);
    ExpectAllItems(ReadBytes(AudioLike(5000) + ApeTag(kItems, true) + id3v1));

    // Some writers count the header into the tag size; it is stepped over.
    std::string body;
    for (const std::string& item : kItems) {
        body += item;
    }
    const auto size = static_cast<uint32_t>(body.size() + 64);
    ExpectAllItems(ReadBytes(AudioLike(100) + ApeBlock(size, 7, kApeHasHeader | kApeIsHeader) +
                             body + ApeBlock(size, 7, kApeHasHeader)));
}

TEST(APEv2, TagsElsewhereAreNotLookedFor) {
    // A header at the start, or a tag followed by audio, is no tag at the end.
    for (const std::string& bytes : {ApeTag(kItems, true) + AudioLike(3000), AudioLike(100),
                                     std::string("APETAGE"), std::string()}) {
        const TResult r = ReadBytes(bytes);
        EXPECT_TRUE(r.Ok);
        ExpectCleared(r.Tag);
    }
}

TEST(APEv2, KeysMatchWithoutCaseAndAreTrimmed) {
    TResult r = ReadBytes(ApeTag({ApeItem("TITLE", "Upper"), ApeItem(" artist ", "Lower"),
                                  ApeItem("ALBUM", "A"), ApeItem("Titles", "not a title")},
                                 false));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "Upper");
    EXPECT_EQ(r.Tag.Artist, "Lower");
    EXPECT_EQ(r.Tag.Album, "A");

    // A later item with the same key wins.
    r = ReadBytes(ApeTag({ApeItem("Title", "First"), ApeItem("title", "Second")}, false));
    EXPECT_EQ(r.Tag.Title, "Second");
}

TEST(APEv2, ValuesAreDecodedJoinedAndBinaryItemsSkipped) {
    const TResult r = ReadBytes(
        ApeTag({ApeItem("Cover Art (Front)", std::string("\0\xFF\xD8", 3), 2),
                ApeItem("Title", "binary", 2), ApeItem("Artist", std::string("One\0Two\0", 8)),
                ApeItem("Album", "\xCE\xA9mega \xFF"), ApeItem("Year", "\xB2\x30\x30"),
                ApeItem("Track", ""), ApeItem("Comment", std::string("\0", 1))},
               false));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Title, "");
    EXPECT_EQ(r.Tag.Artist, "One; Two");
    EXPECT_EQ(r.Tag.Album, "\u03a9mega \ufffd");
    EXPECT_EQ(r.Tag.Year, "\u00b200");  // single-byte text
    EXPECT_EQ(r.Tag.Track, "");
    EXPECT_EQ(r.Tag.Comment, "");
}

TEST(APEv2, CountsAndSizesAreCheckedAgainstTheTag) {
    TResult r = ReadBytes(AudioLike(100) + ApeBlock(32, 0, 0));
    EXPECT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "");

    const std::string item = ApeItem("Title", "Abc");
    const auto size = static_cast<uint32_t>(item.size() + 32);
    // A value that runs past the tag: into the footer.
    std::string longValue = item;
    longValue[0] = 10;
    for (const std::string& bytes :
         {AudioLike(100) + longValue + ApeBlock(size, 1, 0),
          AudioLike(100) + item + ApeBlock(size, 2, 0),           // more items than there are
          AudioLike(100) + item + ApeBlock(size, 0x7fffffff, 0),  // absurd count
          item + ApeBlock(size + 500, 1, 0),                      // tag larger than the file
          AudioLike(100) + item + ApeBlock(16, 1, 0),             // tag smaller than a footer
          AudioLike(100) + "\x03\0\0\0\0\0\0\0Title" + ApeBlock(21, 1, 0)}) {  // no key end
        r = ReadBytes(bytes);
        EXPECT_FALSE(r.Ok);
        ExpectCleared(r.Tag);
    }

    // A negative count reads no items.
    r = ReadBytes(AudioLike(100) + item + ApeBlock(size, 0xFFFFFFFF, 0));
    EXPECT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "");
}
