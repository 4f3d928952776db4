// What an MP3 file's ID3v1 and ID3v2 tags say differently, as the tag readers find it and as
// the scan records it in the catalog.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

#include "core/engine/FileInfo.h"
#include "core/scan/ScannerTags.h"
#include "core/tags/ByteSource.h"
#include "core/tags/TagBuilders.h"
#include "support/ScriptedSinks.h"
#include "support/TempDir.h"
#include "support/TreeQueries.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

// An ID3v1.1 record: the comment cut to 28 bytes, a zero, then the track byte.
std::string ID3v11(std::string_view title, std::string_view artist, std::string_view album,
                   std::string_view year, uint8_t track, uint8_t genre) {
    std::string tag = ID3v1Record(title, artist, album, year, "", genre);
    tag[125] = '\0';
    tag[126] = static_cast<char>(track);
    return tag;
}

std::string V2(std::string_view title, std::string_view artist, std::string_view album = {},
               std::string_view extraFrames = {}) {
    std::string frames = Frame23("TIT2", Latin1Body(title)) + Frame23("TPE1", Latin1Body(artist));
    if (!album.empty()) {
        frames += Frame23("TALB", Latin1Body(album));
    }
    return ID3v2Tag(3, frames + std::string(extraFrames));
}

// The mismatch the readers find in a file of these bytes, and the fields they keep.
TTagFields Read(const std::string& bytes) {
    TTagReaders readers(false);
    TTagFields fields;
    TMemoryByteSource source(bytes);
    readers.Read(source, TMusicFormat::MP3, fields);
    return fields;
}

}  // namespace

TEST(ID3Mismatch, TheFieldsTheTagsGiveDifferentlyAreNamedInOrder) {
    const std::string v2 =
        V2("Help!", "The Beatles", "Help",
           Frame23("TYER", Latin1Body("1965")) + Frame23("TRCK", Latin1Body("7/14")) +
               Frame23("TCON", Latin1Body("(17)")));
    // The same words, but the title without its "!", another year and track, and Pop (13).
    const TTagFields fields =
        Read(v2 + AudioLike(300) + ID3v11("Help", "The Beatles", "Help", "1966", 6, 13));
    EXPECT_EQ(fields.ID3Mismatch, "Title, Year, Track, Genre");
    EXPECT_EQ(fields.Title, "Help") << "the catalog keeps ID3v1's texts as before";

    // Letter case is a difference the catalog shows, and so is a plain apostrophe for a curly
    // one, which ID3v1 could have held (Windows-1252 0x92, here in ID3v2's single-byte text);
    // an agreeing pair names nothing.
    EXPECT_EQ(Read(V2("Song", "band") + AudioLike(300) + ID3v11("Song", "Band", "", "", 1, 255))
                  .ID3Mismatch,
              "Artist");
    EXPECT_EQ(Read(V2("Rock \x92n\x92 Roll", "Band") + AudioLike(300) +
                   ID3v11("Rock 'n' Roll", "Band", "", "", 1, 255))
                  .ID3Mismatch,
              "Title");
    EXPECT_EQ(Read(V2("Song", "Band", "", Frame23("TRCK", Latin1Body("1/9"))) + AudioLike(300) +
                   ID3v11(" Song ", "Band", "", "", 1, 255))
                  .ID3Mismatch,
              "");
}

TEST(ID3Mismatch, WhatID3v1CannotHoldOrLeavesEmptyIsNoDisagreement) {
    const std::string longTitle = "A Title Of Exactly Forty-One Characters!!";
    ASSERT_EQ(longTitle.size(), 41u);
    // ID3v1 keeps the first 30 characters; ID3v2.4's recording time gives more than a year;
    // Windows-1252's own characters (the euro sign, a curly apostrophe) are held in one byte.
    const std::string v24 = ID3v2Tag(
        4, Frame24("TIT2", Utf8Body(longTitle)) +
               Frame24("TPE1", Utf8Body("Caf\xC3\xA9 \xE2\x82\xAC\xE2\x80\x99s")) +
               Frame24("TDRC", Utf8Body("2001-05-03")) + Frame24("TCON", Utf8Body("Indie Pop")));
    EXPECT_EQ(Read(v24 + AudioLike(300) +
                   ID3v11(longTitle.substr(0, 30), "Caf\xE9 \x80\x92s", "", "2001", 0, 0))
                  .ID3Mismatch,
              "")
        << "a cut title, a year of a date, Windows-1252 text and a genre outside the table";

    // Japanese text that ID3v1 could only mangle; fields one tag leaves empty; a track that
    // ID3v1.0 (a 30-byte comment, no track byte) cannot hold.
    const std::string v2 = ID3v2Tag(3, Frame23("TIT2", Utf16Body(u"\u591C\u660E\u3051")) +
                                           Frame23("TALB", Latin1Body("Only Here")) +
                                           Frame23("TRCK", Latin1Body("5")));
    EXPECT_EQ(Read(v2 + AudioLike(300) +
                   ID3v1Record("???", "Only There", "", "", "a comment of thirty characters", 255))
                  .ID3Mismatch,
              "");

    // Nothing to compare unless both tags are there.
    const std::string v1 = ID3v11("One", "Two", "", "", 3, 0);
    EXPECT_EQ(Read(V2("Other", "Else") + AudioLike(300)).ID3Mismatch, "");
    EXPECT_EQ(Read(AudioLike(300) + ApeTag({ApeItem("Title", "Other")}, false) + v1).ID3Mismatch,
              "");
    EXPECT_EQ(Read(AudioLike(300) + v1).ID3Mismatch, "");
}

// The scan records the mismatch as the item's last attribute, and only where there is one:
// the catalog of agreeing files is what it was.
TEST(ID3Mismatch, TheScanRecordsItInTheCatalogOnlyWhereTheTagsDisagree) {
    melodrix::testing::UseEnglishLocale();
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("music"));
    const auto bytes = [](const std::string& s) { return QByteArray::fromStdString(s); };
    melodrix::testing::WriteFile(
        folder, QStringLiteral("differ.mp3"),
        bytes(V2("Night", "Band") + AudioLike(400) + ID3v11("Day", "Band", "", "", 2, 255)));
    melodrix::testing::WriteFile(
        folder, QStringLiteral("agree.mp3"),
        bytes(V2("Night", "Band") + AudioLike(400) + ID3v11("Night", "Band", "", "", 2, 255)));
    melodrix::testing::TRecordingProgress progress;
    TFileInfo engine{progress};
    TCatalogTree tree;
    const QString catalog = dir.filePath(QStringLiteral("Disk.xml"));
    engine.ScanFolder(tree, folder, QStringLiteral("\\.MP3\\"), false, catalog);
    ASSERT_TRUE(engine.SaveCatalogTree(tree, catalog));

    const QByteArray text = melodrix::testing::ReadFile(catalog);
    EXPECT_EQ(text.count("ID3Mismatch="), 1);
    const qsizetype differ = text.indexOf("differ.mp3\"");
    const qsizetype end = text.indexOf("/>", differ);
    ASSERT_GT(differ, 0);
    EXPECT_TRUE(text.mid(differ, end - differ).endsWith(" ID3Mismatch=\"Title\""))
        << text.mid(differ, end - differ).toStdString();

    TCatalogTree reread;
    ASSERT_TRUE(engine.OpenCatalogTree(catalog, reread));
    EXPECT_EQ(melodrix::testing::NodeEndingWith(reread, "/differ.mp3")->Item().Field(ID3Mismatch),
              "Title");
    EXPECT_EQ(melodrix::testing::NodeEndingWith(reread, "/agree.mp3")->Item().Field(ID3Mismatch),
              "");
    // Read and written again, the file is the same bytes.
    ASSERT_TRUE(engine.SaveCatalogTree(reread, catalog));
    EXPECT_EQ(melodrix::testing::ReadFile(catalog), text);
}
