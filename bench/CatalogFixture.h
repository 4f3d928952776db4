#pragma once

// A realistic catalog file for benchmarks: a scanned music drive of about six levels
// (drive, shelf, genre, artist, album, track), MP3 files with all six tag fields, paths
// of about 80 characters, a few descriptions and a sprinkling of non-ASCII and special
// characters. Written once to bench-data/ and reused by every benchmark:
//
//     const std::string path = melodrix::bench::EnsureCatalogFixture();
//
// The generator is deterministic, so every engineer measures the same bytes.

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace melodrix::bench {

// The repository's bench-data/ folder (git-ignored).
inline std::filesystem::path BenchDataDirectory() {
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "bench-data";
}

namespace fixture_detail {

class TRandom {
public:
    explicit TRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    int Below(int bound) { return static_cast<int>(Next() % static_cast<uint64_t>(bound)); }

private:
    uint64_t state_;
};

inline constexpr std::array<std::string_view, 20> kGenres = {
    "Rock",    "Jazz",       "Blues",       "Classical", "Electronic", "Hip-Hop", "Pop",
    "Metal",   "Folk",       "Country",     "Reggae",    "Soul",       "Funk",    "Punk",
    "Ambient", "Soundtrack", "World Music", "R&B",       "Chanson",    "Gospel",
};

inline constexpr std::array<std::string_view, 32> kWords = {
    "Blue",    "Night",   "River",   "Golden", "Shadow", "Electric", "Silent",  "Summer",
    "Highway", "Dream",   "Stone",   "Fire",   "Ocean",  "Velvet",   "Morning", "Echo",
    "Winter",  "Heart",   "Thunder", "Glass",  "Paper",  "City",     "Moon",    "Wild",
    "Café",    "Mädchen", "Über",    "Noir",   "Sol",    "Año",      "夜明け",  "Lights",
};

inline constexpr std::array<std::string_view, 6> kComments = {
    "", "Remastered", "Live recording", "Bonus track", "Ripped from CD", "Vinyl rip",
};

inline std::string Words(TRandom& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kWords[static_cast<size_t>(random.Below(static_cast<int>(kWords.size())))];
    }
    return text;
}

// Characters, not bytes: lengths in the catalog count characters.
inline size_t CharacterCount(std::string_view text) {
    size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

class TCatalogWriter {
public:
    explicit TCatalogWriter(std::FILE* file) : file_(file) {}

    void Raw(std::string_view text) {
        out_.append(text);
        Flush(false);
    }

    void Attribute(std::string_view name, std::string_view value) {
        if (value.empty()) {
            return;
        }
        out_ += ' ';
        out_.append(name);
        out_ += "=\"";
        for (const char c : value) {
            switch (c) {
                case '&':
                    out_ += "&amp;";
                    break;
                case '<':
                    out_ += "&lt;";
                    break;
                case '"':
                    out_ += "&quot;";
                    break;
                case '\t':
                    out_ += "&#09;";
                    break;
                case '\n':
                    out_ += "&#10;";
                    break;
                case '\r':
                    out_ += "&#13;";
                    break;
                default:
                    out_ += c;
            }
        }
        out_ += '"';
    }

    void Flush(bool force) {
        if (force || out_.size() > (1u << 20)) {
            if (std::fwrite(out_.data(), 1, out_.size(), file_) != out_.size()) {
                throw std::runtime_error("cannot write the catalog fixture");
            }
            out_.clear();
        }
    }

private:
    std::FILE* file_;
    std::string out_;
};

struct TItem {
    std::string name;
    std::string path;
    bool folder = false;
    uint64_t size = 0;
    std::string time;
    std::string title, artist, album, year, comment, genre, description;
};

inline std::string TimeText(TRandom& random) {
    // English (United States) form with a four-digit year, as a scan there writes it.
    const int month = 1 + random.Below(12);
    const int day = 1 + random.Below(28);
    const int year = 1998 + random.Below(27);
    const int hour = random.Below(24);
    char text[48];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", month, day, year,
                  hour % 12 == 0 ? 12 : hour % 12, random.Below(60), random.Below(60),
                  hour < 12 ? "AM" : "PM");
    return text;
}

inline void WriteItem(TCatalogWriter& writer, const TItem& item, uint64_t total,
                      std::string_view diskName) {
    char number[32];
    writer.Raw("<file");
    writer.Attribute("FileName", item.name);
    writer.Attribute("FullPath", item.path);
    std::snprintf(number, sizeof number, "%llu", static_cast<unsigned long long>(item.size));
    writer.Attribute("FileSize", number);
    writer.Attribute("FileTime", item.time);
    const size_t dot = item.name.rfind('.');
    writer.Attribute("FileExt", item.folder || dot == std::string::npos
                                    ? std::string_view()
                                    : std::string_view(item.name).substr(dot + 1));
    writer.Attribute("FileType", item.folder ? "directory" : "file");
    writer.Attribute("Description", item.description);
    std::snprintf(number, sizeof number, "%zu", CharacterCount(item.name));
    writer.Attribute("FileNameLength", number);
    std::snprintf(number, sizeof number, "%zu", CharacterCount(item.path));
    writer.Attribute("PathNameLength", number);
    std::snprintf(
        number, sizeof number, "%.2f",
        total ? 100.0 * static_cast<double>(item.size) / static_cast<double>(total) : 0.0);
    writer.Attribute("SizePercentage", number);
    writer.Attribute("DiskName", diskName);
    writer.Attribute("MP3_Title", item.title);
    writer.Attribute("MP3_Artist", item.artist);
    writer.Attribute("MP3_Album", item.album);
    writer.Attribute("MP3_Year", item.year);
    writer.Attribute("MP3_Comment", item.comment);
    writer.Attribute("MP3_Genre", item.genre);
}

// Shape of the drive: shelves x genres x artists x albums x tracks, trimmed to `items`.
inline void Generate(std::FILE* file, uint64_t items, std::string_view diskName) {
    TRandom random(0x5eed1234abcdULL);
    TCatalogWriter writer(file);
    writer.Raw("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>");
    writer.Raw("<fileinfo generated=\"Vellumdex\">");

    constexpr int kShelves = 10, kGenresPerShelf = 20, kArtists = 25, kAlbums = 12;
    // An album holds 16 files on average, so the shape has room for 1,025,000 items.
    const uint64_t expectedBytes = items * 6'000'000ULL;
    uint64_t written = 0;
    auto more = [&] { return written < items; };

    TItem root;
    root.name = "/media/music";
    root.path = root.name;
    root.folder = true;
    root.size = expectedBytes;
    root.time = TimeText(random);
    WriteItem(writer, root, expectedBytes, diskName);
    writer.Raw(">");
    ++written;

    for (int s = 0; s < kShelves && more(); ++s) {
        TItem shelf;
        shelf.name = "Shelf " + std::to_string(s + 1);
        shelf.path = root.path + "/" + shelf.name;
        shelf.folder = true;
        shelf.size = expectedBytes / kShelves;
        shelf.time = TimeText(random);
        WriteItem(writer, shelf, expectedBytes, diskName);
        writer.Raw(">");
        ++written;
        for (int g = 0; g < kGenresPerShelf && more(); ++g) {
            TItem genre;
            genre.name = std::string(kGenres[static_cast<size_t>(g)]);
            genre.path = shelf.path + "/" + genre.name;
            genre.folder = true;
            genre.size = shelf.size / kGenresPerShelf;
            genre.time = TimeText(random);
            WriteItem(writer, genre, expectedBytes, diskName);
            writer.Raw(">");
            ++written;
            for (int a = 0; a < kArtists && more(); ++a) {
                TItem artist;
                artist.name = "The " + Words(random, 2);
                artist.path = genre.path + "/" + artist.name;
                artist.folder = true;
                artist.size = genre.size / kArtists;
                artist.time = TimeText(random);
                WriteItem(writer, artist, expectedBytes, diskName);
                writer.Raw(">");
                ++written;
                for (int b = 0; b < kAlbums && more(); ++b) {
                    TItem album;
                    const std::string year = std::to_string(1960 + random.Below(65));
                    const std::string albumTitle = Words(random, 2);
                    album.name = year + " - " + albumTitle;
                    album.path = artist.path + "/" + album.name;
                    album.folder = true;
                    album.size = artist.size / kAlbums;
                    album.time = TimeText(random);
                    if (random.Below(100) == 0) {
                        album.description = "Signed copy, \"first pressing\" & booklet";
                    }
                    WriteItem(writer, album, expectedBytes, diskName);
                    writer.Raw(">");
                    ++written;
                    const int tracks = 10 + random.Below(13);
                    for (int t = 0; t < tracks && more(); ++t) {
                        TItem track;
                        const bool cover = t == tracks - 1;
                        char prefix[8];
                        std::snprintf(prefix, sizeof prefix, "%02d - ", t + 1);
                        track.title = Words(random, 1 + random.Below(3));
                        track.name =
                            cover ? std::string("folder.jpg") : prefix + track.title + ".mp3";
                        track.path = album.path + "/" + track.name;
                        track.size =
                            cover ? 40'000 + static_cast<uint64_t>(random.Below(200'000))
                                  : 2'000'000 + static_cast<uint64_t>(random.Below(9'000'000));
                        track.time = TimeText(random);
                        if (cover) {
                            track.title.clear();
                        } else {
                            track.artist = artist.name;
                            track.album = albumTitle;
                            track.year = year;
                            track.comment = std::string(kComments[static_cast<size_t>(
                                random.Below(static_cast<int>(kComments.size())))]);
                            track.genre = genre.name;
                            if (random.Below(200) == 0) {
                                track.description = "Favourite <live>\ttake";
                            }
                        }
                        WriteItem(writer, track, expectedBytes, diskName);
                        writer.Raw("/>");
                        ++written;
                    }
                    writer.Raw("</file>");
                }
                writer.Raw("</file>");
            }
            writer.Raw("</file>");
        }
        writer.Raw("</file>");
    }
    writer.Raw("</file></fileinfo>");
    writer.Flush(true);
}

}  // namespace fixture_detail

// Path of the catalog fixture with `items` items (a million by default), written to
// bench-data/ first when it is not there yet. The file is written under a temporary
// name and renamed, so benchmarks started at the same time never see half a file.
inline std::string EnsureCatalogFixture(uint64_t items = 1'000'000) {
    const std::filesystem::path directory = BenchDataDirectory();
    const std::string stem = "catalog_" + std::to_string(items);
    const std::filesystem::path path = directory / (stem + ".xml");
    if (std::filesystem::exists(path)) {
        return path.string();
    }
    std::filesystem::create_directories(directory);
    const std::filesystem::path temporary =
        directory / (stem + ".xml.tmp" + std::to_string(::getpid()));
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        throw std::runtime_error("cannot create " + temporary.string());
    }
    try {
        fixture_detail::Generate(file, items, stem);
    } catch (...) {
        std::fclose(file);
        std::filesystem::remove(temporary);
        throw;
    }
    if (std::fclose(file) != 0) {
        std::filesystem::remove(temporary);
        throw std::runtime_error("cannot write " + temporary.string());
    }
    std::filesystem::rename(temporary, path);
    return path.string();
}

}  // namespace melodrix::bench
