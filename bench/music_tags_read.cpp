// Reads the tags of 20,000 FLAC, Ogg Vorbis, Opus and MP4 files through the scanner's readers
// (each file by the reader of its format) and compares that with the floor: open the file, take
// its size and read exactly the metadata byte ranges the readers asked for, then close it. The
// readers never read audio, so those ranges are the metadata. Both run in one process,
// alternating in blocks of files, with a warm page cache.
//
// Usage: bench_music_tags_read [rounds=5]   (writes bench-data/music-tags on the first run,
// about 400 MB)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "../tests/core/tags/MusicTagBuilders.h"
#include "BenchSupport.h"
#include "RecordingSource.h"
#include "core/scan/ScannerTags.h"
#include "core/tags/FLACTag.h"
#include "core/tags/MP4Tag.h"
#include "core/tags/OggTag.h"

using namespace melodrix;
using namespace melodrix::tagbytes;
namespace fs = std::filesystem;

using melodrix::bench::TRange;
using melodrix::bench::TReaderRanges;
using melodrix::bench::TRecordingSource;

namespace {

constexpr int kFiles = 20000;

std::vector<std::string> Comments(int index) {
    const std::string n = std::to_string(index);
    std::vector<std::string> entries = {"TITLE=Track title number " + n,
                                        "ARTIST=Some Artist " + std::to_string(index / 200),
                                        "ALBUM=An Album Called " + std::to_string(index / 12),
                                        "DATE=2004-05-17",
                                        "GENRE=Electronic",
                                        "TRACKNUMBER=" + std::to_string(index % 12 + 1),
                                        "COMMENT=Ripped with care",
                                        "ENCODER=an encoder 1.0"};
    if (index % 3 == 0) {
        entries.push_back("REPLAYGAIN_TRACK_GAIN=-7.10 dB");
        entries.push_back("ARTIST=Featured Guest");
    }
    return entries;
}

// Out of every 8 files: 2 FLAC (one with a picture before the comments), 2 Ogg Vorbis, 2 Opus
// (one with comments over two pages, as an embedded picture makes them), 2 MP4 (the movie
// before and after the audio).
std::string FileBytes(int index, std::string& extension) {
    const std::string audio = AudioLike(8192 + static_cast<size_t>(index % 7) * 2048);
    const std::vector<std::string> entries = Comments(index);
    switch (index % 8) {
        case 0:
        case 1: {
            extension = ".flac";
            std::vector<std::string> blocks = {FlacBlock(kFlacStreamInfo, std::string(34, '\x01')),
                                               FlacBlock(3, std::string(180, '\x03'))};
            if (index % 8 == 1) {
                blocks.push_back(FlacBlock(kFlacPicture, std::string(30000, '\x06')));
            }
            blocks.push_back(FlacBlock(kFlacComment, VorbisCommentList(entries)));
            blocks.push_back(FlacBlock(kFlacPadding, std::string(4096, '\0'), true));
            return FlacFile(blocks, audio.size());
        }
        case 2:
        case 3:
            extension = ".ogg";
            return OggStream(static_cast<uint32_t>(index),
                             {VorbisIdentification(), VorbisCommentPacket(entries),
                              std::string(3500, '\x05'), audio});
        case 4:
        case 5: {
            extension = ".opus";
            std::vector<std::string> opus = entries;
            if (index % 8 == 5) {
                opus.push_back("METADATA_BLOCK_PICTURE=" + std::string(70000, 'Q'));
            }
            return OggStream(static_cast<uint32_t>(index), {OpusHead(), OpusTags(opus), audio});
        }
        default: {
            extension = ".m4a";
            std::vector<std::string> items = {
                TextItem("\xA9nam", entries[0].substr(6)),
                TextItem("\xA9"
                         "ART",
                         "Some Artist"),
                TextItem("\xA9"
                         "alb",
                         "An Album"),
                TextItem("\xA9"
                         "day",
                         "2004-05-17"),
                TextItem("\xA9too", "an encoder"),
                TextItem("\xA9gen", "Electronic"),
                Atom("trkn", DataAtom(0, BigEndian(0, 2) + BigEndian(3, 2) + BigEndian(12, 2) +
                                             BigEndian(0, 2))),
                Atom("covr", DataAtom(13, std::string(20000, '\x0D')))};
            return Mp4File(items, index % 8 == 6, audio.size());
        }
    }
}

std::vector<std::string> EnsureFiles() {
    const fs::path root =
        fs::path(__FILE__).parent_path().parent_path() / "bench-data" / "music-tags";
    const fs::path marker = root / ".complete";
    const bool ready = fs::exists(marker);
    if (!ready) {
        fs::remove_all(root);
    }
    std::vector<std::string> paths;
    for (int index = 0; index < kFiles; ++index) {
        std::string extension;
        const fs::path folder = root / ("Album " + std::to_string(index / 20));
        if (ready) {
            // The extension follows from the index alone.
            extension = index % 8 < 2   ? ".flac"
                        : index % 8 < 4 ? ".ogg"
                        : index % 8 < 6 ? ".opus"
                                        : ".m4a";
        } else {
            const std::string bytes = FileBytes(index, extension);
            fs::create_directories(folder);
            std::ofstream((folder / ("track " + std::to_string(index) + extension)),
                          std::ios::binary)
                << bytes;
        }
        paths.push_back((folder / ("track " + std::to_string(index) + extension)).string());
    }
    if (!ready) {
        std::ofstream(marker) << "done\n";
    }
    return paths;
}

double CpuNow() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

struct TTimes {
    double Wall = 0, Cpu = 0;
};

template <typename TWork>
void Measure(TTimes& times, TWork&& work) {
    const auto wall = bench::TClock::now();
    const double cpu = CpuNow();
    work();
    times.Cpu += CpuNow() - cpu;
    times.Wall += bench::SecondsSince(wall);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const auto generation = bench::TClock::now();
    const std::vector<std::string> names = EnsureFiles();
    std::printf("collection: %zu files (ready in %.1f s)\n", names.size(),
                bench::SecondsSince(generation));
    std::vector<QString> files;
    std::vector<QByteArray> paths;
    for (const std::string& name : names) {
        files.push_back(QString::fromStdString(name));
        paths.push_back(QFile::encodeName(files.back()));
    }

    // Record the ranges of each file's reader; this also warms the page cache for them.
    std::vector<std::vector<TRange>> ranges(files.size());
    size_t largest = 0, totalBytes = 0, totalReads = 0;
    int found = 0;
    TFLACTag flac;
    TOggTag ogg;
    TMP4Tag mp4;
    for (size_t f = 0; f < files.size(); ++f) {
        TFileByteSource file(files[f]);
        TRecordingSource recording(file);
        TTextTag& reader = names[f].ends_with(".flac")  ? static_cast<TTextTag&>(flac)
                           : names[f].ends_with(".m4a") ? static_cast<TTextTag&>(mp4)
                                                        : static_cast<TTextTag&>(ogg);
        found += reader.Read(recording) && reader.TagFound;
        ranges[f] = recording.Ranges;
        for (const TRange& range : recording.Ranges) {
            largest = std::max(largest, range.Size);
            totalBytes += range.Size;
            ++totalReads;
        }
    }
    std::printf("tags found in %d files; per file %.2f positioned reads, %.0f bytes\n", found,
                double(totalReads) / double(files.size()),
                double(totalBytes) / double(files.size()));
    if (found != kFiles) {
        std::fprintf(stderr, "a file's tag was not found\n");
        return 1;
    }

    std::vector<char> buffer(largest + 1);
    TTimes ours, floor;
    size_t checksum = 0;
    TTagReaders readers;
    TTagFields fields;
    int kinds = 0;
    constexpr size_t kBlock = 250;
    for (int round = 0; round < rounds; ++round) {
        TTimes roundOurs, roundFloor;
        for (size_t begin = 0; begin < files.size(); begin += kBlock) {
            const size_t end = std::min(files.size(), begin + kBlock);
            Measure(roundFloor, [&] {
                for (size_t f = begin; f < end; ++f) {
                    const int handle = ::open(paths[f].constData(), O_RDONLY | O_CLOEXEC);
                    struct stat status {};
                    ::fstat(handle, &status);
                    checksum += static_cast<size_t>(status.st_size);
                    for (const TRange& range : ranges[f]) {
                        checksum += static_cast<size_t>(::pread(handle, buffer.data(), range.Size,
                                                                static_cast<off_t>(range.Offset)));
                    }
                    ::close(handle);
                }
            });
            Measure(roundOurs, [&] {
                for (size_t f = begin; f < end; ++f) {
                    kinds += readers.Read(files[f], fields) != TTagKind::None;
                    checksum += fields.Title.size();
                }
            });
        }
        const double n = double(files.size());
        std::printf(
            "round %d: readers %.2f us CPU (%.2f wall), floor %.2f us CPU (%.2f wall) "
            "-> %.2fx CPU, %.2fx wall\n",
            round + 1, 1e6 * roundOurs.Cpu / n, 1e6 * roundOurs.Wall / n, 1e6 * roundFloor.Cpu / n,
            1e6 * roundFloor.Wall / n, roundOurs.Cpu / roundFloor.Cpu,
            roundOurs.Wall / roundFloor.Wall);
        ours.Cpu += roundOurs.Cpu;
        ours.Wall += roundOurs.Wall;
        floor.Cpu += roundFloor.Cpu;
        floor.Wall += roundFloor.Wall;
    }
    if (kinds != kFiles * rounds) {
        std::fprintf(stderr, "the readers missed tags in the timed rounds\n");
        return 1;
    }
    std::printf("all %d rounds (checksum %zu): %.2fx CPU, %.2fx wall\n", rounds, checksum % 1000,
                ours.Cpu / floor.Cpu, ours.Wall / floor.Wall);
    return 0;
}
