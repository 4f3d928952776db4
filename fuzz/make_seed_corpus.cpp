// Writes a seed corpus for the fuzz targets: <dir>/id3v1, <dir>/id3v2, <dir>/apev2, <dir>/flac,
// <dir>/ogg, <dir>/mp4 with a few well-formed tags of each layout and some near misses,
// <dir>/catalog_stream with catalog texts.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/tags/MusicTagBuilders.h"

namespace fs = std::filesystem;
using namespace melodrix::tagbytes;

namespace {

void Write(const fs::path& folder, const std::vector<std::string>& seeds) {
    fs::create_directories(folder);
    int number = 0;
    for (const std::string& seed : seeds) {
        std::ofstream out(folder / ("seed" + std::to_string(number++)), std::ios::binary);
        out << seed;
    }
}

std::vector<std::string> ID3v1Seeds() {
    std::string v11 = ID3v1Record("Title", "Artist", "Album", "1999", "Comment", 17);
    v11[126] = 7;
    return {AudioLike(64) + ID3v1Record("Title", "Artist", "Album", "1999", "Comment", 17),
            AudioLike(16) + v11,
            ID3v1Record("  Lead", "\x80\x9f\xff", "", "", std::string(30, 'c'), 255), "TAG"};
}

std::vector<std::string> ID3v2Seeds() {
    const std::string frames23 =
        Frame23("TIT2", Latin1Body("Song")) + Frame23("TPE1", Utf16Body(u"Art\u00e9")) +
        Frame23("APIC", std::string(300, '\x11')) + Frame23("COMM", CommentBody(0, "", "Nice")) +
        Frame23("TRCK", Latin1Body("3/12"));
    const std::string frames24 =
        Frame24("TIT2", Utf8Body(std::string("One\0Two", 7))) +
        Frame24("TDRC", Utf8Body("2004-05-17")) + Frame24("TALB", "\x02" + Utf16(u"Alb", true)) +
        Frame24("TCON", Synchsafe(5) + Utf8Body("(17)"), 0x01) +
        Frame24("COMM", CommentBody(1, "\xFF\xFE" + Utf16(u"iTunNORM", false),
                                    "\xFF\xFE" + Utf16(u"x", false)));
    // Unsynchronised as a whole, with an extended header in front of the frames.
    const std::string unsynchronised =
        Unsynchronise(BigEndian(6, 4) + std::string(6, '\0') + frames23);
    return {
        ID3v2Tag(3, frames23, 0, 64),
        ID3v2Tag(4, frames24, 0, 16),
        ID3v2Tag(2, Frame22("TT2", Latin1Body("Old")) + Frame22("COM", CommentBody(0, "", "c"))),
        ID3v2Header(3, 0xC0, static_cast<uint32_t>(unsynchronised.size())) + unsynchronised,
        ID3v2Tag(4, Frame24("TPE1", Unsynchronise(Utf16Body(u"\u00ff\u00ff")), 0x02)),
        ID3v2Header(3, 0, 1000) + Frame23("TIT2", Latin1Body("cut"))};
}

std::vector<std::string> APEv2Seeds() {
    const std::vector<std::string> items = {
        ApeItem("Title", "Abc"), ApeItem("Year", " 2001 "),
        ApeItem("ARTIST", std::string("A\0B", 3)),
        ApeItem("Cover Art (Front)", std::string(40, '\x01'), 2), ApeItem("Track", "4")};
    return {AudioLike(32) + ApeTag(items, true), AudioLike(8) + ApeTag(items, false),
            ApeTag(items, false) + ID3v1Record("T", "A", "B", "2000", "", 1),
            AudioLike(8) + ApeBlock(32, 0, 0)};
}

const std::vector<std::string> kComments = {"TITLE=T",        "artist=A1",       "ARTIST=A2",
                                            "ALBUM=\xC3\x9C", "DATE=2004-05-17", "GENRE=Jazz",
                                            "TRACKNUMBER=2",  "COMMENT=c",       "novalue"};

std::vector<std::string> FlacSeeds() {
    const std::string info = FlacBlock(kFlacStreamInfo, std::string(34, '\x01'));
    return {FlacFile({info, FlacBlock(kFlacComment, VorbisCommentList(kComments), true)}),
            FlacFile({info, FlacBlock(kFlacPicture, std::string(200, '\x02')),
                      FlacBlock(kFlacComment, VorbisCommentList(kComments)),
                      FlacBlock(kFlacPadding, std::string(16, '\0'), true)}),
            ID3v2Tag(3, Frame23("TIT2", Latin1Body("x"))) +
                FlacFile({FlacBlock(kFlacComment, VorbisCommentList({"TITLE=id3"}), true)}),
            FlacFile({info, FlacBlock(kFlacComment, LittleEndian32(99), true)})};
}

std::vector<std::string> OggSeeds() {
    const std::vector<std::string> opus = {OpusHead(), OpusTags(kComments), AudioLike(300)};
    const std::vector<std::string> vorbis = {VorbisIdentification(), VorbisCommentPacket(kComments),
                                             std::string(40, '\x05'), AudioLike(100)};
    const std::string flacPacket =
        "\x7F"
        "FLAC" +
        std::string(9, '\0') + "fLaC" + FlacBlock(0, std::string(34, '\0'));
    return {OggStream(7, opus), OggStream(7, opus, 2), OggStream(9, vorbis, 1),
            OggStream(3, {flacPacket, FlacBlock(kFlacComment, VorbisCommentList(kComments), true)}),
            OggStream(5, {OpusHead()}) + OggStream(6, {OpusHead(), OpusTags({"TITLE=x"})})};
}

std::vector<std::string> Mp4Seeds() {
    const std::vector<std::string> items = {
        TextItem("\xA9nam", "Title"),
        TextItem("aART", "Album artist"),
        TextItem("\xA9"
                 "day",
                 "2010-11-12T00:00:00Z"),
        Atom("gnre", DataAtom(0, BigEndian(8, 2))),
        Atom("trkn", DataAtom(0, BigEndian(0, 2) + BigEndian(5, 2) + BigEndian(9, 2))),
        Atom("covr", DataAtom(13, std::string(64, '\x09'))),
        Atom("\xA9"
             "ART",
             DataAtom(2, Utf16(u"Wide", true)))};
    return {Mp4File(items, true), Mp4File(items, false),
            Atom("ftyp", "isom") + LargeAtom("mdat", AudioLike(40)) +
                Atom("moov", Atom("udta", Atom("meta", BigEndian(0, 4) + Atom("ilst", items[0])))),
            Mp4File({TextItem("\xA9"
                              "cmt",
                              "x")},
                    false)
                .substr(0, 700)};
}

// Catalog texts for the one-pass reader: plain ones and the constructs it leaves to the parser.
std::vector<std::string> CatalogSeeds() {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"x\">";
    return {
        head +
            "<file FileName=\"/music\" FileSize=\"10\"><file FileName=\"a &amp; b\" "
            "Description=\"x&lt;y&#09;&#xE9;\"/><file FileName='q\"'></file ></file></fileinfo>",
        head + "<file FileName=\"t\tab\r\nx\"/><!-- c --><?pi x?><![CDATA[z]]>text</fileinfo>",
        "\xEF\xBB\xBF<fileinfo>\n  <file\n FileName = \"x\" />\n</fileinfo>\n",
        "<!DOCTYPE x><fileinfo><file FileName=\"&#0;&#xD800;&amp\"/></fileinfo>",
        head + "<file FileName=\"unclosed\">",
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seed_corpus <folder>\n";
        return 2;
    }
    const fs::path root = argv[1];
    Write(root / "id3v1", ID3v1Seeds());
    Write(root / "id3v2", ID3v2Seeds());
    Write(root / "apev2", APEv2Seeds());
    Write(root / "flac", FlacSeeds());
    Write(root / "ogg", OggSeeds());
    Write(root / "mp4", Mp4Seeds());
    // The audio readers meet every container: the tag seeds hold each one's headers.
    std::vector<std::string> audio;
    for (const auto& seeds :
         {ID3v1Seeds(), ID3v2Seeds(), APEv2Seeds(), FlacSeeds(), OggSeeds(), Mp4Seeds()}) {
        audio.insert(audio.end(), seeds.begin(), seeds.end());
    }
    Write(root / "audio", audio);
    Write(root / "catalog_stream", CatalogSeeds());
    return 0;
}
