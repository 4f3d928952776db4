#include <gtest/gtest.h>

#include <QDate>
#include <QTemporaryDir>
#include <chrono>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/catalog/DateTimeParser.h"
#include "core/catalog/ValueFunctions.h"
#include "core/engine/FileInfo.h"
#include "core/search/SearchConditions.h"
#include "support/ScriptedSinks.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::TRecordingProgress;
using melodrix::testing::WriteFile;

namespace {

using TAttributes = std::vector<std::pair<const char*, std::string>>;

// A catalog text: a root folder holding items given as attribute lists, written as given
// (values are raw XML attribute text).
QByteArray Catalog(const std::vector<TAttributes>& items) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"x\">"
        "<file FileName=\"/music\" FullPath=\"/music\" FileType=\"directory\" FileSize=\"9000\">";
    for (const TAttributes& attributes : items) {
        text += "<file";
        for (const auto& [name, value] : attributes) {
            text += ' ';
            text += name;
            text += "=\"";
            text += QByteArray::fromStdString(value);
            text += '"';
        }
        text += "/>";
    }
    return text + "</file></fileinfo>";
}

TAttributes Song(const char* name, const char* artist, const char* title, const char* year,
                 const char* size, const char* time = "") {
    TAttributes song{{"FileName", name},   {"FullPath", std::string("/music/") + name},
                     {"FileSize", size},   {"FileExt", "mp3"},
                     {"FileType", "file"}, {"MP3_Artist", artist},
                     {"MP3_Title", title}, {"MP3_Year", year}};
    if (*time) {
        song.emplace_back("FileTime", time);
    }
    return song;
}

using Names = std::vector<std::string>;

class SearchConditions : public ::testing::Test {
protected:
    void SetUp() override {
        melodrix::testing::UseEnglishLocale();
        ASSERT_TRUE(dir.isValid());
        engine.Document = &document;
    }

    // Writes the catalog as the only one of a group and searches it both ways: as a catalog
    // (parsed document) and as a group (read in one pass). Both must give the same hits.
    Names Find(const QByteArray& catalog, const TSearchOptions& options, const char* name = "") {
        const QString group = dir.filePath(QStringLiteral("lib"));
        const QString file = WriteFile(group, QStringLiteral("Disk One.xml"), catalog);
        const Names asCatalog = Run(file, TSearchScope::Catalog, options, name);
        const Names asGroup = Run(group, TSearchScope::Group, options, name);
        EXPECT_EQ(asCatalog, asGroup);
        return asGroup;
    }

    Names Run(const QString& scope, TSearchScope kind, const TSearchOptions& options,
              const char* name) {
        TFileItem record;
        record.SetField(FullPath, scope.toStdString());
        record.SetField(FileName, name);
        engine.Search(kind, result, record, options);
        Names names;
        for (int i = 0; i < result.TopLevelCount(); ++i) {
            names.emplace_back(result.TopLevel(i)->Item().Field(FileName));
        }
        return names;
    }

    static TSearchOptions Text(int field, const char* text, TTextMode mode = TTextMode::Contains,
                               bool caseSensitive = false) {
        TSearchOptions options;
        options.mode = mode;
        options.caseSensitive = caseSensitive;
        options.texts.push_back({field, text});
        return options;
    }

    QTemporaryDir dir;
    pugi::xml_document document;
    TRecordingProgress progress;
    TFileInfo engine{progress};
    TCatalogTree result;
};

const QByteArray& Songs() {
    static const QByteArray songs = Catalog({
        Song("a.mp3", "The Band", "Night Drive", "1994", "5000000"),
        Song("b.mp3", "the band", "Morning", "1999-05-02", "700"),
        Song("c.mp3", "Band of Gold", "Night", "2001", "12000000"),
        Song("d.mp3", "Solo", "Drive &amp; Ride", "", "0"),
        {{"FileName", "notes"}, {"FileType", "directory"}, {"FileSize", "20"}},
        Song("e.mp3", "Caf\xC3\xA9 Noir",
             "\xC3\x9C"
             "ber",
             "abc", "99999999999999999999999"),
    });
    return songs;
}

}  // namespace

TEST_F(SearchConditions, TagFieldsInEveryTextMode) {
    EXPECT_EQ(Find(Songs(), Text(MP3_Artist, "band")), (Names{"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Artist, "band", TTextMode::Contains, true)), (Names{"b.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Artist, "THE BAND", TTextMode::Whole)),
              (Names{"a.mp3", "b.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Artist, "The Band", TTextMode::Whole, true)),
              (Names{"a.mp3"}));
    // Wildcards cover the whole value; '?' is one character, also a two-byte one.
    EXPECT_EQ(Find(Songs(), Text(MP3_Title, "night*", TTextMode::Wildcard)),
              (Names{"a.mp3", "c.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Title, "*r?de", TTextMode::Wildcard)), (Names{"d.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Title, "?ber", TTextMode::Wildcard)), (Names{"e.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Title, "Night", TTextMode::Wildcard)), (Names{"c.mp3"}));
    // Regular expressions match anywhere unless anchored; entities are resolved first.
    EXPECT_EQ(Find(Songs(), Text(MP3_Title, "^(night|morning)$", TTextMode::Regex)),
              (Names{"b.mp3", "c.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Title, "& R", TTextMode::Regex)), (Names{"d.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(MP3_Artist, "caf. noir", TTextMode::Regex)), (Names{"e.mp3"}));
    // Text conditions combine with the plain name condition.
    EXPECT_EQ(Find(Songs(), Text(MP3_Artist, "band"), "c."), (Names{"c.mp3"}));
}

TEST_F(SearchConditions, PathAndDiskConditions) {
    EXPECT_EQ(Find(Songs(), Text(FullPath, "/music/?.mp3", TTextMode::Wildcard)),
              (Names{"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}));
    // DiskName is the disk name each hit carries: its catalog's, not a stored one.
    EXPECT_EQ(Find(Songs(), Text(DiskName, "disk one", TTextMode::Whole), "a.mp3"),
              (Names{"a.mp3"}));
    EXPECT_EQ(Find(Songs(), Text(DiskName, "Two"), "a."), (Names{}));
}

TEST_F(SearchConditions, RangesAndKinds) {
    TSearchOptions options;
    options.size.low = 1000;
    options.size.high = ParseSizeText(QStringLiteral("10M"));
    EXPECT_EQ(Find(Songs(), options), (Names{"/music", "a.mp3"}));
    options.kind = TItemKind::Files;
    EXPECT_EQ(Find(Songs(), options), (Names{"a.mp3"}));
    // A huge stored size is larger than any bound, never wrapped to a small one.
    options = {};
    options.size.low = ParseSizeText(QStringLiteral("1T"));
    EXPECT_EQ(Find(Songs(), options), (Names{"e.mp3"}));

    options = {};
    options.year = *ParseYearRange(QStringLiteral("1990-1999"));
    EXPECT_EQ(Find(Songs(), options), (Names{"a.mp3", "b.mp3"}));
    options.year = *ParseYearRange(QStringLiteral("2000-"));
    EXPECT_EQ(Find(Songs(), options), (Names{"c.mp3"}));  // no year, "abc": no match

    options = {};
    options.kind = TItemKind::Folders;
    EXPECT_EQ(Find(Songs(), options), (Names{"/music", "notes"}));
}

TEST_F(SearchConditions, TrackPlayingTimeBitrateCodecAndAlbumArtist) {
    const auto music = [](const char* name, const char* track, const char* duration,
                          const char* bitrate, const char* codec, const char* albumArtist) {
        TAttributes song = Song(name, "A", "T", "2000", "10");
        for (const auto& [field, value] :
             {std::pair{"MP3_Track", track}, std::pair{"AudioDuration", duration},
              std::pair{"AudioBitrate", bitrate}, std::pair{"AudioCodec", codec},
              std::pair{"MP3_AlbumArtist", albumArtist}}) {
            if (*value) {
                song.emplace_back(field, value);
            }
        }
        return song;
    };
    const QByteArray catalog = Catalog({
        music("a.mp3", "3/12", "185000", "128", "MP3", "Various"),
        music("b.flac", "10", "3600500", "901", "FLAC", ""),
        music("c.ogg", "1", "59999", "96", "Vorbis", "various artists"),
        music("d.mp3", "", "", "", "", ""),  // nothing read from its stream
        {{"FileName", "album"}, {"FileType", "directory"}, {"AudioDuration", "3845000"}},
    });
    TSearchOptions options;
    options.track = *ParseYearRange(QStringLiteral("1-3"));
    EXPECT_EQ(Find(catalog, options), (Names{"a.mp3", "c.ogg"})) << "3/12 is track 3";
    options.track = *ParseYearRange(QStringLiteral("10-"));
    EXPECT_EQ(Find(catalog, options), (Names{"b.flac"}));

    options = {};
    options.durationMs.low = ParseDurationText(QStringLiteral("1:00"));
    options.durationMs.high = ParseDurationText(QStringLiteral("1:00:01"));
    EXPECT_EQ(Find(catalog, options), (Names{"a.mp3", "b.flac"}));
    options.durationMs.high.reset();
    EXPECT_EQ(Find(catalog, options), (Names{"a.mp3", "b.flac", "album"}))
        << "a folder's playing time is a value like any other";

    options = {};
    options.bitrate.high = 128;
    EXPECT_EQ(Find(catalog, options), (Names{"a.mp3", "c.ogg"}));
    options.codec = "mp3";
    EXPECT_EQ(Find(catalog, options), (Names{"a.mp3"})) << "case ignored";
    options = {};
    options.codec = "MP";
    EXPECT_EQ(Find(catalog, options), (Names{})) << "the whole name, not a part";

    options = {};
    options.texts.push_back({MP3_AlbumArtist, "various"});
    EXPECT_EQ(Find(catalog, options), (Names{"a.mp3", "c.ogg"}));
}

TEST_F(SearchConditions, ModificationTimeRange) {
    const std::string before =
        DateTimeText(QDateTime(QDate(2019, 12, 31), QTime(23, 59, 59))).toStdString();
    const std::string onDay = DateTimeText(QDateTime(QDate(2020, 1, 1), QTime(0, 0))).toStdString();
    const std::string later =
        DateTimeText(QDateTime(QDate(2020, 6, 1), QTime(8, 30))).toStdString();
    const QByteArray catalog =
        Catalog({Song("old", "", "", "", "1", before.c_str()),
                 Song("new year", "", "", "", "1", onDay.c_str()),
                 Song("summer", "", "", "", "1", later.c_str()), Song("no time", "", "", "", "1"),
                 Song("bad time", "", "", "", "1", "yesterday")});
    TSearchOptions options;
    options.time.low = MsecsOfDayStart(QDate(2020, 1, 1));
    EXPECT_EQ(Find(catalog, options), (Names{"new year", "summer"}));
    options.time = {};
    options.time.high = MsecsOfDayStart(QDate(2020, 1, 1)) - 1;
    EXPECT_EQ(Find(catalog, options), (Names{"old"}));
    // The day scale is the one stored times are read in.
    EXPECT_EQ(TDateTimeParser().ParseToMsecs(onDay), MsecsOfDayStart(QDate(2020, 1, 1)));
}

TEST_F(SearchConditions, PlainOptionsGiveThePlainSearch) {
    TFileItem record;
    const QString file = WriteFile(dir.path(), QStringLiteral("x.xml"), Songs());
    record.SetField(FullPath, file.toStdString());
    record.SetField(FileName, "B");
    engine.Search(TSearchScope::Catalog, result, record, false, false);
    Names plain;
    for (int i = 0; i < result.TopLevelCount(); ++i) {
        plain.emplace_back(result.TopLevel(i)->Item().Field(FileName));
    }
    EXPECT_EQ(plain, (Names{"b.mp3"}));
    EXPECT_EQ(Run(file, TSearchScope::Catalog, TSearchOptions(), "B"), plain);
}

TEST_F(SearchConditions, InvalidExpressionIsRefusedBeforeReading) {
    result.AppendChild(nullptr)->Item().SetField(FileName, "earlier hit");
    TFileItem record;
    record.SetField(FullPath, dir.path().toStdString());
    const TSearchOptions options = Text(MP3_Title, "(unclosed", TTextMode::Regex);
    try {
        engine.Search(TSearchScope::Group, result, record, options);
        FAIL() << "accepted an invalid expression";
    } catch (const TSearchConditionError& error) {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("missing )")))
            << error.Message().toStdString();
    }
    EXPECT_EQ(result.TopLevelCount(), 1);  // nothing cleared
    EXPECT_TRUE(progress.events.empty());  // nothing shown, nothing read
    EXPECT_FALSE(RegexError("(unclosed", false).isEmpty());
    EXPECT_TRUE(RegexError("^a+$", false).isEmpty());
    // An expression that is not UTF-8 is refused too.
    EXPECT_FALSE(RegexError("\xff(", true).isEmpty());
}

TEST_F(SearchConditions, HostileValuesAndPatternsNeitherHangNorMisbehave) {
    // 200,000 'a' and a final '!': classic backtrackers take exponential time on these.
    const std::string longValue = std::string(200'000, 'a') + "!";
    const QByteArray catalog = Catalog({
        Song("long", "", longValue.c_str(), "", "1"),
        // Control characters as references, invalid UTF-8 bytes and a raw tab.
        Song("ctrl", "&#1;&#27;x", "\xff\xfe\xc3", "19\t94", "1"),
        Song("nul-ish", "a&#0;b", "", "99999999999999999999", "1"),
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Find(catalog, Text(MP3_Title, "^(a+)+$", TTextMode::Regex)), (Names{}));
    EXPECT_EQ(Find(catalog, Text(MP3_Title, "(a|aa)*b", TTextMode::Regex)), (Names{}));
    EXPECT_EQ(Find(catalog, Text(MP3_Title, "*a*a*a*a*a*a*a*a*b", TTextMode::Wildcard)), (Names{}));
    EXPECT_EQ(Find(catalog, Text(MP3_Title, "*a*a*a*!", TTextMode::Wildcard)), (Names{"long"}));
    // Generous: a backtracking engine would need years, a linear one well under a second.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));

    // A pattern over invalid bytes sees them as characters, as they read once opened.
    EXPECT_EQ(Find(catalog, Text(MP3_Title, "?*", TTextMode::Wildcard), "ctrl"), (Names{"ctrl"}));
    EXPECT_EQ(Find(catalog, Text(MP3_Title, ".+", TTextMode::Regex), "ctrl"), (Names{"ctrl"}));
    EXPECT_EQ(Find(catalog, Text(MP3_Artist, "x", TTextMode::Contains)), (Names{"ctrl"}));
    TSearchOptions years;
    years.year = *ParseYearRange(QStringLiteral("0-3000"));
    // "19 94" reads as 19; the 20-digit year stops at nine digits and is out of range.
    EXPECT_EQ(Find(catalog, years), (Names{"ctrl"}));
}

TEST(SearchConditionTexts, SizesYearsAndStoredValues) {
    EXPECT_EQ(ParseSizeText(QStringLiteral("10M")), 10u * 1024 * 1024);
    EXPECT_EQ(ParseSizeText(QStringLiteral(" 700k ")), 700u * 1024);
    EXPECT_EQ(ParseSizeText(QStringLiteral("1.5G")), 1536u * 1024 * 1024);
    EXPECT_EQ(ParseSizeText(QStringLiteral("123")), 123u);
    EXPECT_EQ(ParseSizeText(QStringLiteral("2KB")), 2048u);
    EXPECT_EQ(ParseSizeText(QStringLiteral("1e30")), UINT64_MAX);
    EXPECT_FALSE(ParseSizeText(QStringLiteral("-5")));
    EXPECT_FALSE(ParseSizeText(QStringLiteral("ten")));
    EXPECT_FALSE(ParseSizeText(QStringLiteral("")));

    const auto nineties = ParseYearRange(QStringLiteral("1990-1999"));
    ASSERT_TRUE(nineties);
    EXPECT_EQ(nineties->low, 1990);
    EXPECT_EQ(nineties->high, 1999);
    const auto one = ParseYearRange(QStringLiteral("1994"));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->low, 1994);
    EXPECT_EQ(one->high, 1994);
    EXPECT_FALSE(ParseYearRange(QStringLiteral("-1980"))->low);
    EXPECT_EQ(ParseYearRange(QStringLiteral("-1980"))->high, 1980);
    EXPECT_FALSE(ParseYearRange(QStringLiteral("1999-1990")));
    EXPECT_FALSE(ParseYearRange(QStringLiteral("nineties")));
    EXPECT_FALSE(ParseYearRange(QStringLiteral("-")));

    EXPECT_EQ(ParseDurationText(QStringLiteral("95")), 95000);
    EXPECT_EQ(ParseDurationText(QStringLiteral(" 2.5 ")), 2500);
    EXPECT_EQ(ParseDurationText(QStringLiteral("3:07")), 187000);
    EXPECT_EQ(ParseDurationText(QStringLiteral("1:02:03")), 3723000);
    EXPECT_EQ(ParseDurationText(QStringLiteral("90:00")), 5400000) << "minutes may pass 59 first";
    for (const char* bad : {"", "1:60", "1:2:3:4", "-5", "a:00", "1::2", "1: 2", "inf", "1e300"}) {
        EXPECT_FALSE(ParseDurationText(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_EQ(LeadingNumberOfText(" 3/12"), 3);
    EXPECT_EQ(LeadingNumberOfText("123456789012345678"), 123456789012345678);
    EXPECT_FALSE(LeadingNumberOfText("1234567890123456789")) << "beyond 18 digits";
    EXPECT_FALSE(LeadingNumberOfText("/12"));

    EXPECT_EQ(YearOfText(" 1994-05-02"), 1994);
    EXPECT_FALSE(YearOfText("MCMXCIV"));
    EXPECT_EQ(SizeOfText("18446744073709551616"), UINT64_MAX);
    EXPECT_EQ(SizeOfText(" 42 "), 42u);
    EXPECT_FALSE(SizeOfText("big"));
    EXPECT_FALSE(SizeOfText(""));
}
