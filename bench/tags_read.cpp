// Reads the tags of a 20,000-file collection with the three readers in the scanner's order
// (ID3v1, then ID3v2, then APEv2; the first that reads and finds a tag wins) and compares that
// with the floor: plain positioned reads of exactly the byte ranges the readers asked for.
// Both run in the same process, alternately, with a warm page cache.
//
// Usage: bench_tags_read [rounds=5]   (writes bench-data/tags on the first run, ~4 GB)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "RecordingSource.h"
#include "TagFixtures.h"
#include "core/tags/APEv2.h"
#include "core/tags/ID3v1.h"
#include "core/tags/ID3v2.h"

using namespace melodrix;
using Clock = std::chrono::steady_clock;

using melodrix::bench::TRange;
using melodrix::bench::TReaderRanges;
using melodrix::bench::TRecordingSource;

namespace {

struct TTally {
    int ID3v1 = 0, ID3v2 = 0, APEv2 = 0, None = 0;
    size_t TextBytes = 0;  // keeps the reads from being optimised away
};

struct TReaders {
    TID3v1 ID3v1;
    TID3v2 ID3v2;
    TAPEv2 APEv2;

    // The scanner's order: each reader only when the ones before found nothing.
    template <typename TSource>
    void Read(TSource&& source, TTally& tally) {
        if (ID3v1.Read(source) && ID3v1.TagFound) {
            ++tally.ID3v1;
            tally.TextBytes += ID3v1.Title.size();
        } else if (ID3v2.Read(source) && ID3v2.TagFound) {
            ++tally.ID3v2;
            tally.TextBytes += ID3v2.Title.size() + ID3v2.Comment.size();
        } else if (APEv2.Read(source) && APEv2.TagFound) {
            ++tally.APEv2;
            tally.TextBytes += APEv2.Title.size();
        } else {
            ++tally.None;
        }
    }
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Wall time and the CPU time of this thread: the machine is shared, so the CPU time is the
// steadier measure of our own work.
struct TTimes {
    double Wall = 0;
    double Cpu = 0;
};

double CpuNow() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

template <typename TWork>
void Measure(TTimes& times, TWork&& work) {
    const auto wall = Clock::now();
    const double cpu = CpuNow();
    work();
    times.Cpu += CpuNow() - cpu;
    times.Wall += Seconds(wall);
}

// The floor: open (once per file or once per reader), take the size, read the same ranges.
void Floor(const std::vector<QByteArray>& paths,
           const std::vector<std::vector<TReaderRanges>>& ranges, size_t begin, size_t end,
           bool openPerReader, std::vector<char>& buffer, size_t& checksum) {
    for (size_t f = begin; f < end; ++f) {
        int handle = -1;
        for (const TReaderRanges& reader : ranges[f]) {
            if (handle < 0) {
                handle = ::open(paths[f].constData(), O_RDONLY | O_CLOEXEC);
                struct stat status {};
                ::fstat(handle, &status);
                checksum += static_cast<size_t>(status.st_size);
            }
            for (const TRange& range : reader) {
                checksum += static_cast<size_t>(
                    ::pread(handle, buffer.data(), range.Size, static_cast<off_t>(range.Offset)));
            }
            if (openPerReader) {
                ::close(handle);
                handle = -1;
            }
        }
        if (handle >= 0) {
            ::close(handle);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const auto generation = Clock::now();
    const bench::TTagFixture tree = bench::EnsureTagFixture();
    std::printf("collection: %zu audio files, %zu other files in %s (ready in %.1f s)\n",
                tree.AudioFiles.size(), tree.OtherFiles.size(), tree.Root.c_str(),
                Seconds(generation));

    std::vector<QString> files;
    std::vector<QByteArray> paths;
    for (const std::string& path : tree.AudioFiles) {
        files.push_back(QString::fromStdString(path));
        paths.push_back(QFile::encodeName(files.back()));
    }

    // Record what each reader reads, which also warms the page cache for those bytes.
    std::vector<std::vector<TReaderRanges>> ranges(files.size());
    size_t largest = 0, totalBytes = 0, totalReads = 0;
    TTally expected;
    for (size_t f = 0; f < files.size(); ++f) {
        TFileByteSource file(files[f]);
        TReaders readers;
        auto record = [&](auto& reader) {
            TRecordingSource recording(file);
            const bool found = reader.Read(recording) && reader.TagFound;
            ranges[f].push_back(recording.Ranges);
            for (const TRange& range : recording.Ranges) {
                largest = std::max(largest, range.Size);
                totalBytes += range.Size;
                ++totalReads;
            }
            return found;
        };
        if (record(readers.ID3v1)) {
            ++expected.ID3v1;
        } else if (record(readers.ID3v2)) {
            ++expected.ID3v2;
        } else if (record(readers.APEv2)) {
            ++expected.APEv2;
        } else {
            ++expected.None;
        }
    }
    std::printf("tags found: ID3v1 %d, ID3v2 %d, APEv2 %d, none %d\n", expected.ID3v1,
                expected.ID3v2, expected.APEv2, expected.None);
    std::printf("per file: %.2f positioned reads, %.0f bytes\n",
                double(totalReads) / double(files.size()),
                double(totalBytes) / double(files.size()));

    std::vector<char> buffer(largest + 1);
    TTimes shared, byName, floorOnce, floorPerReader;
    size_t checksum = 0;
    TTally sharedTally, byNameTally;
    TReaders readers;
    // Blocks of files in turn, so that a change in the machine's load hits all four alike.
    constexpr size_t kBlock = 250;
    for (int round = 0; round < rounds; ++round) {
        for (size_t begin = 0; begin < files.size(); begin += kBlock) {
            const size_t end = std::min(files.size(), begin + kBlock);
            Measure(floorOnce, [&] { Floor(paths, ranges, begin, end, false, buffer, checksum); });
            Measure(shared, [&] {
                for (size_t f = begin; f < end; ++f) {
                    TFileByteSource source(files[f]);
                    readers.Read(source, sharedTally);
                }
            });
            Measure(floorPerReader,
                    [&] { Floor(paths, ranges, begin, end, true, buffer, checksum); });
            Measure(byName, [&] {
                for (size_t f = begin; f < end; ++f) {
                    readers.Read(files[f], byNameTally);
                }
            });
        }
    }
    for (const TTally& tally : {sharedTally, byNameTally}) {
        if (tally.ID3v1 != expected.ID3v1 * rounds || tally.ID3v2 != expected.ID3v2 * rounds ||
            tally.APEv2 != expected.APEv2 * rounds || tally.None != expected.None * rounds) {
            std::fprintf(stderr, "the passes disagree on the tags found\n");
            return 1;
        }
    }
    checksum += sharedTally.TextBytes + byNameTally.TextBytes;
    const double n = double(files.size()) * rounds;
    std::printf("%d rounds over %zu files (checksum %zu); per file, CPU time (wall time):\n",
                rounds, files.size(), checksum % 1000);
    const auto line = [&](const char* what, const TTimes& readersTime, const TTimes& floor) {
        std::printf("  %s readers %.2f us (%.2f), floor %.2f us (%.2f) -> %.2fx CPU, %.2fx wall\n",
                    what, 1e6 * readersTime.Cpu / n, 1e6 * readersTime.Wall / n,
                    1e6 * floor.Cpu / n, 1e6 * floor.Wall / n, readersTime.Cpu / floor.Cpu,
                    readersTime.Wall / floor.Wall);
    };
    line("one open per file:  ", shared, floorOnce);
    line("one open per reader:", byName, floorPerReader);
    return 0;
}
