#pragma once

// A music collection on disk for benchmarks of the tag readers and the scanner: MP3-like files
// of a few hundred KB in 1,000 folders, with a realistic mix of tags, plus other files (covers,
// playlists, notes) beside them. Written once and reused while its parameters stay the same:
//
//     const melodrix::bench::TTagFixture tree = melodrix::bench::EnsureTagFixture();
//     for (const std::string& path : tree.AudioFiles) ...
//
// The generator is deterministic, so every engineer measures the same bytes. The default tree
// takes about 4 GB below bench-data/tags/; delete it when done measuring.

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../tests/core/tags/TagBuilders.h"

namespace melodrix::bench {

enum class TTagMix { ID3v1Only, ID3v23WithPicture, ID3v24Utf8, APEv2Footer, NoTag };

struct TTagFixtureOptions {
    std::filesystem::path Root;  // empty: bench-data/tags in the repository
    int AudioFiles = 20000;
    int Folders = 1000;
    int OtherFiles = 5000;
    size_t SmallestAudio = 120 * 1024;  // audio bytes per file, spread evenly between the two
    size_t LargestAudio = 280 * 1024;
};

struct TTagFixture {
    std::filesystem::path Root;
    std::vector<std::string> AudioFiles;  // the .mp3 files, in folder order
    std::vector<TTagMix> Mix;             // the tag layout of each audio file
    std::vector<std::string> OtherFiles;
};

namespace tag_fixture_detail {

using namespace melodrix::tagbytes;

// Out of every 20 files: 3 with ID3v1 only, 7 with ID3v2.3 and a picture, 5 with ID3v2.4 in
// UTF-8, 2 with an APEv2 footer and 3 without any tag.
inline TTagMix MixOf(int index) {
    static constexpr std::array<TTagMix, 20> kPattern = {TTagMix::ID3v23WithPicture,
                                                         TTagMix::ID3v24Utf8,
                                                         TTagMix::ID3v1Only,
                                                         TTagMix::ID3v23WithPicture,
                                                         TTagMix::NoTag,
                                                         TTagMix::ID3v24Utf8,
                                                         TTagMix::ID3v23WithPicture,
                                                         TTagMix::APEv2Footer,
                                                         TTagMix::ID3v1Only,
                                                         TTagMix::ID3v24Utf8,
                                                         TTagMix::ID3v23WithPicture,
                                                         TTagMix::NoTag,
                                                         TTagMix::ID3v23WithPicture,
                                                         TTagMix::ID3v24Utf8,
                                                         TTagMix::ID3v1Only,
                                                         TTagMix::ID3v23WithPicture,
                                                         TTagMix::APEv2Footer,
                                                         TTagMix::ID3v24Utf8,
                                                         TTagMix::ID3v23WithPicture,
                                                         TTagMix::NoTag};
    return kPattern[static_cast<size_t>(index) % kPattern.size()];
}

inline std::string Number(int value, int width) {
    std::string text = std::to_string(value);
    return std::string(text.size() < static_cast<size_t>(width) ? width - text.size() : 0, '0') +
           text;
}

// The tag bytes in front of and behind the audio of file `index`.
inline std::pair<std::string, std::string> TagsOf(TTagMix mix, int index) {
    const std::string n = Number(index, 5);
    switch (mix) {
        case TTagMix::ID3v1Only: {
            std::string tag = ID3v1Record("Song " + n, "Artist " + n.substr(0, 3),
                                          "Album " + n.substr(0, 4), "1998", "ripped", 17);
            tag[126] = static_cast<char>(1 + index % 20);
            return {"", tag};
        }
        case TTagMix::ID3v23WithPicture: {
            const std::string frames =
                Frame23("APIC", std::string("\0image/jpeg\0\x03\0", 14) + AudioLike(100 * 1024)) +
                Frame23("TIT2", Latin1Body("Song " + n)) +
                Frame23("TPE1", Utf16Body(u"Art\u00efst")) +
                Frame23("TALB", Latin1Body("Album " + n.substr(0, 4))) +
                Frame23("TYER", Latin1Body("2003")) + Frame23("TRCK", Latin1Body("4/12")) +
                Frame23("TCON", Latin1Body("(17)")) +
                Frame23("COMM", CommentBody(0, "", "from the box set")) +
                Frame23("COMM", CommentBody(0, "iTunNORM", " 000001A0 00000193 0000197D"));
            return {ID3v2Tag(3, frames, 0, 2048), ""};
        }
        case TTagMix::ID3v24Utf8: {
            const std::string frames =
                Frame24("TIT2", Utf8Body("Chanson n\xC2\xB0" + n)) +
                Frame24("TPE1", Utf8Body("\xC3\x89"
                                         "dith " +
                                         n.substr(0, 3))) +
                Frame24("TALB", Utf8Body("Live \xE2\x80\x93 " + n.substr(0, 4))) +
                Frame24("TDRC", Utf8Body("2011-06-01")) + Frame24("TRCK", Utf8Body("7")) +
                Frame24("TCON", Utf8Body(std::string("Chanson\0Pop", 11))) +
                Frame24("COMM", CommentBody(3, "", "remastered"));
            return {ID3v2Tag(4, frames, 0, 1024), ""};
        }
        case TTagMix::APEv2Footer:
            return {"", ApeTag({ApeItem("Title", "Track " + n), ApeItem("Artist", "Band"),
                                ApeItem("Album", "Bootleg"), ApeItem("Year", "2007"),
                                ApeItem("Track", "3"), ApeItem("Genre", "Rock")},
                               false)};
        case TTagMix::NoTag:
            return {"", ""};
    }
    return {"", ""};
}

inline void WriteBytes(const std::filesystem::path& path,
                       std::initializer_list<std::string_view> parts) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string_view part : parts) {
        out.write(part.data(), static_cast<std::streamsize>(part.size()));
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

inline std::string Signature(const TTagFixtureOptions& options) {
    return "tags-v1 " + std::to_string(options.AudioFiles) + ' ' + std::to_string(options.Folders) +
           ' ' + std::to_string(options.OtherFiles) + ' ' + std::to_string(options.SmallestAudio) +
           ' ' + std::to_string(options.LargestAudio);
}

}  // namespace tag_fixture_detail

// Lists the tree of `options` and writes it first unless a complete one is already there.
inline TTagFixture EnsureTagFixture(TTagFixtureOptions options = {}) {
    namespace fs = std::filesystem;
    using namespace tag_fixture_detail;
    if (options.Root.empty()) {
        options.Root = fs::path(__FILE__).parent_path().parent_path() / "bench-data" / "tags";
    }
    const fs::path marker = options.Root / ".complete";
    const std::string signature = Signature(options);
    std::string existing;
    if (std::ifstream in(marker); in) {
        std::getline(in, existing);
    }
    const bool write = existing != signature;
    if (write) {
        fs::remove_all(options.Root);
    }

    TTagFixture tree;
    tree.Root = options.Root;
    const std::string audio = write ? AudioLike(options.LargestAudio) : std::string();
    const size_t spread = options.LargestAudio - options.SmallestAudio + 1;
    const int folders = std::max(1, options.Folders);
    for (int folder = 0; folder < folders; ++folder) {
        // Artist folders with album folders below, as collections are usually kept.
        const fs::path dir =
            options.Root / ("Artist " + Number(folder / 10, 3)) / ("Album " + Number(folder, 4));
        if (write) {
            fs::create_directories(dir);
        }
        for (int i = folder; i < options.AudioFiles; i += folders) {
            const fs::path path = dir / (Number(i, 5) + " Track.mp3");
            const TTagMix mix = MixOf(i);
            if (write) {
                const auto [front, back] = TagsOf(mix, i);
                const size_t size =
                    options.SmallestAudio + (static_cast<size_t>(i) * 7919) % spread;
                WriteBytes(path, {front, std::string_view(audio).substr(0, size), back});
            }
            tree.AudioFiles.push_back(path.string());
            tree.Mix.push_back(mix);
        }
        for (int i = folder; i < options.OtherFiles; i += folders) {
            static constexpr std::array<const char*, 4> kNames = {"cover.jpg", "playlist.m3u",
                                                                  "notes.txt", "back.png"};
            const fs::path path = dir / (Number(i, 5) + ' ' + kNames[static_cast<size_t>(i) % 4]);
            if (write) {
                WriteBytes(path, {std::string_view(AudioLike(2048 + i % 4096))});
            }
            tree.OtherFiles.push_back(path.string());
        }
    }
    if (write) {
        WriteBytes(marker, {signature, "\n"});
    }
    return tree;
}

}  // namespace melodrix::bench
