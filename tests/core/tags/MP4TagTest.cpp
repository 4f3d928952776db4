#include <gtest/gtest.h>

#include "core/tags/MP4Tag.h"
#include "core/tags/MusicTagBuilders.h"
#include "core/tags/ReadResult.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

using TResult = TReadResult<TMP4Tag>;

const std::vector<std::string> kItems = {
    TextItem("\xA9nam", "Title"),
    TextItem("\xA9"
             "ART",
             "Artist"),
    TextItem("aART", "Album artist"),
    TextItem("\xA9"
             "alb",
             "Album"),
    TextItem("\xA9"
             "day",
             "2010-11-12T00:00:00Z"),
    TextItem("\xA9"
             "cmt",
             "Comment"),
    Atom("covr", DataAtom(13, std::string(3000, '\x09'))),
    TextItem("\xA9gen", "Ambient"),
    Atom("trkn",
         DataAtom(0, BigEndian(0, 2) + BigEndian(5, 2) + BigEndian(9, 2) + BigEndian(0, 2)))};

void ExpectItems(const TResult& r) {
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "Title");
    EXPECT_EQ(r.Tag.Artist, "Artist");
    EXPECT_EQ(r.Tag.Album, "Album");
    EXPECT_EQ(r.Tag.Year, "2010");
    EXPECT_EQ(r.Tag.Comment, "Comment");
    EXPECT_EQ(r.Tag.Genre, "Ambient");
    EXPECT_EQ(r.Tag.Track, "5/9");
}

// A source that fails every read inside [from, to): the audio must never be asked for.
class TGuardedSource final : public IByteSource {
public:
    TGuardedSource(const std::string& bytes, uint64_t from, uint64_t to)
        : inner_(bytes), from_(from), to_(to) {}
    std::optional<uint64_t> Size() override { return inner_.Size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset < to_ && offset + size > from_) {
            ++forbidden;
            return false;
        }
        return inner_.ReadAt(offset, buffer, size);
    }
    int forbidden = 0;

private:
    TMemoryByteSource inner_;
    uint64_t from_, to_;
};

}  // namespace

TEST(MP4Tag, ItemListIsFoundWithTheMovieBeforeOrAfterTheAudio) {
    ExpectItems(ReadWith<TMP4Tag>(Mp4File(kItems, true)));
    const std::string after = Mp4File(kItems, false, 100000);
    ExpectItems(ReadWith<TMP4Tag>(after));
    // The media data (after the 16 bytes of its header) is stepped over unread.
    const uint64_t mediaStart = after.find("mdat") + 4;
    TGuardedSource guarded(after, mediaStart, mediaStart + 100000);
    TMP4Tag tag;
    EXPECT_TRUE(tag.Read(guarded));
    EXPECT_EQ(tag.Title, "Title");
    EXPECT_EQ(guarded.forbidden, 0);
}

TEST(MP4Tag, LargeSizesAndMetaWithoutVersionAreUnderstood) {
    const std::string list = Atom("ilst", TextItem("\xA9nam", "Wide"));
    const std::string handler = Atom("hdlr", std::string(25, '\0'));
    // 64-bit sizes on the media data and the movie; a meta atom without version and flags.
    const std::string file = Atom("ftyp", "M4A ") + LargeAtom("mdat", AudioLike(300)) +
                             LargeAtom("moov", Atom("udta", Atom("meta", handler + list)));
    const TResult r = ReadWith<TMP4Tag>(file);
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Tag.TagFound);
    EXPECT_EQ(r.Tag.Title, "Wide");
}

TEST(MP4Tag, FallbacksAndValueKinds) {
    // Without "\xA9ART" the album artist stands in; without "\xA9gen" the numeric genre names an
    // ID3v1 genre counted from 1; UTF-16 values and several data atoms of one item.
    const TResult r = ReadWith<TMP4Tag>(
        Mp4File({TextItem("aART", "Album artist"), Atom("gnre", DataAtom(0, BigEndian(9, 2))),
                 Atom("\xA9nam", DataAtom(2, Utf16(u"\u00c9t\u00e9", true)) + DataAtom(1, "Two")),
                 TextItem("\xA9"
                          "day",
                          "Spring")},
                true));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Tag.Artist, "Album artist");
    EXPECT_EQ(r.Tag.Genre, "Jazz");  // genre 9 counting from 1 is index 8
    EXPECT_EQ(r.Tag.Title, "\xC3\x89t\xC3\xA9; Two");
    EXPECT_EQ(r.Tag.Year, "Spring");
    for (const uint32_t number : {0u, 149u, 60000u}) {
        const TResult none =
            ReadWith<TMP4Tag>(Mp4File({Atom("gnre", DataAtom(0, BigEndian(number, 2)))}, true));
        EXPECT_TRUE(none.Tag.TagFound);
        EXPECT_EQ(none.Tag.Genre, "");
    }
}

TEST(MP4Tag, FilesWithoutAnItemListHaveNoTag) {
    for (const std::string& file :
         {Atom("ftyp", "M4A ") + Atom("mdat", AudioLike(100)),
          Atom("ftyp", "M4A ") + Atom("moov", Atom("mvhd", std::string(100, '\0'))),
          Atom("ftyp", "M4A ") + Atom("moov", Atom("udta", Atom("meta", BigEndian(0, 4)))),
          AudioLike(64), std::string("\0\0\0\x01", 4), std::string()}) {
        const TResult r = ReadWith<TMP4Tag>(file);
        EXPECT_TRUE(r.Ok);
        EXPECT_FALSE(r.Tag.TagFound);
    }
}

TEST(MP4Tag, BrokenAtomsFailTheReadAndLeaveFieldsCleared) {
    const std::string good = Mp4File(kItems, false);
    std::string tooLarge = good;
    const size_t item = tooLarge.find("\xA9nam") - 4;
    tooLarge.replace(item, 4, BigEndian(0x7FFFFFFF, 4));
    std::string tooSmall = good;
    tooSmall.replace(tooSmall.find("udta") - 4, 4, BigEndian(3, 4));
    for (const std::string& file : {tooLarge, tooSmall, good.substr(0, good.size() - 10)}) {
        const TResult r = ReadWith<TMP4Tag>(file);
        EXPECT_FALSE(r.Ok);
        EXPECT_FALSE(r.Tag.TagFound);
        EXPECT_EQ(r.Tag.Title, "");
    }
}
