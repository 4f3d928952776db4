// Scanning a music tree against the least any scan must do: list every folder, examine
// every entry and read the tag byte ranges and the first frame of every MP3 file.
//
//     bench_scan_folder [rounds]     (default 5; the tree is written on first use)
//
// The tree: 20,000 MP3 files in 1,000 folders with 5,000 other files. The MP3 files are
// in equal parts ID3v1 only, ID3v2.3 with a 100 KB picture before the text frames,
// ID3v2.4 UTF-8, APEv2 footer only, and untagged; their audio is 128 kbit/s frames, every
// other file led by an Info header (as LAME writes for CBR), the rest without one. Targets,
// page cache warm: ScanFolder <= 1.3x the floor in the process and <= 1.15x the same scan
// without audio properties; `melodrix-cli scan` (which also saves the catalog) <= 1.3x the
// floor run as a whole process. Each figure is the best of the rounds, floor and ours
// measured alternately.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <QCoreApplication>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../tests/core/tags/AudioBuilders.h"
#include "../tests/core/tags/TagBuilders.h"
#include "BenchSupport.h"
#include "CatalogFixture.h"
#include "ProcessCost.h"
#include "core/engine/FileInfo.h"
#include "core/scan/Scanner.h"

using namespace melodrix;
using namespace melodrix::tagbytes;
namespace fs = std::filesystem;

namespace {

using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;

constexpr int kTopFolders = 50, kSubFolders = 20, kMp3PerFolder = 20, kOthersPerFolder = 5;

void WriteBytes(const fs::path& path, const std::string& head, size_t hole,
                const std::string& tail) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path.string());
    }
    bool ok = ::write(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size());
    // The picture bytes are a hole: no reader looks at them, and the tree stays small.
    ok = ok && ::lseek(fd, static_cast<off_t>(hole), SEEK_CUR) >= 0;
    ok = ok && ::write(fd, tail.data(), tail.size()) == static_cast<ssize_t>(tail.size());
    ::close(fd);
    if (!ok) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void WriteMp3(const fs::path& path, int kind, int n) {
    const std::string title = "Track " + std::to_string(n);
    const size_t frames = 7 + static_cast<size_t>(n % 3);
    const std::string audio =
        n % 2 == 0 ? XingFrame("Info", static_cast<uint32_t>(frames + 1),
                               static_cast<uint32_t>((frames + 1) * kMp3Frame128), 576, 1000) +
                         Mp3Frames(frames)
                   : Mp3Frames(frames);
    switch (kind) {
        case 0:
            WriteBytes(path, audio + ID3v1Record(title, "Artist", "Album", "1999", "", 17), 0, "");
            break;
        case 1: {
            constexpr size_t kPicture = 100 * 1024;
            const std::string text =
                Frame23("TIT2", Latin1Body(title)) + Frame23("TPE1", Latin1Body("Artist")) +
                Frame23("TALB", Latin1Body("Album")) + Frame23("TYER", Latin1Body("2001")) +
                Frame23("COMM", CommentBody(0, "", "Ripped")) + Frame23("TCON", Latin1Body("(17)"));
            const std::string pictureHead = "APIC" + BigEndian(kPicture, 4) + Bytes({0, 0});
            const std::string header = ID3v2Header(
                3, 0, static_cast<uint32_t>(pictureHead.size() + kPicture + text.size()));
            WriteBytes(path, header + pictureHead, kPicture, text + audio);
            break;
        }
        case 2: {
            const std::string frames =
                Frame24("TIT2", Utf8Body(title + " – Café")) +
                Frame24("TPE1", Utf8Body("Mädchen")) + Frame24("TALB", Utf8Body("Über")) +
                Frame24("TDRC", Utf8Body("2004")) + Frame24("TCON", Utf8Body("Jazz"));
            WriteBytes(path, ID3v2Tag(4, frames) + audio, 0, "");
            break;
        }
        case 3:
            WriteBytes(path,
                       audio + ApeTag({ApeItem("Title", title), ApeItem("Artist", "Artist"),
                                       ApeItem("Album", "Album"), ApeItem("Year", "2010"),
                                       ApeItem("Genre", "Folk")},
                                      false),
                       0, "");
            break;
        default:
            WriteBytes(path, audio, 0, "");
    }
}

fs::path EnsureScanTree() {
    const fs::path root = bench::BenchDataDirectory() / "scan_tree";
    // The tree's audio became MPEG frames: a tree written before is written again.
    if (fs::exists(root / ".complete-frames")) {
        return root;
    }
    fs::remove_all(root);
    int n = 0;
    for (int a = 0; a < kTopFolders; ++a) {
        for (int b = 0; b < kSubFolders; ++b) {
            const fs::path folder =
                root / ("Artist " + std::to_string(a)) / ("Album " + std::to_string(b));
            fs::create_directories(folder);
            for (int t = 0; t < kMp3PerFolder; ++t, ++n) {
                WriteMp3(folder / ("Track " + std::to_string(t) + ".mp3"), n % 5, n);
            }
            for (int o = 0; o < kOthersPerFolder; ++o) {
                WriteBytes(folder / ("extra " + std::to_string(o) + (o % 2 ? ".jpg" : ".txt")),
                           AudioLike(1000), 0, "");
            }
        }
    }
    WriteBytes(root / ".complete-frames", "", 0, "");
    return root;
}

// ---- The floor: listing, examining and tag reads, nothing else. ----

uint32_t BigEndianAt(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint32_t SynchsafeAt(const uint8_t* p) {
    return (uint32_t{p[0]} << 21) | (uint32_t{p[1]} << 14) | (uint32_t{p[2]} << 7) | p[3];
}
uint32_t LittleEndianAt(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

// The first frame: its header and the Info or Xing header inside it.
uint64_t ReadFirstFrame(int fd, uint64_t audioStart) {
    std::array<uint8_t, 192> frame{};
    return ::pread(fd, frame.data(), frame.size(), static_cast<off_t>(audioStart)) > 0
               ? uint64_t{frame[0]} + frame[36]
               : 0;
}

// Reads what a tag reader must read: the last 128 bytes, then the ID3v2 frame headers and
// text frames, then the APE footer and items; and the first frame of the audio. Returns a
// checksum so nothing is optimised away.
uint64_t ReadTagRanges(const char* path, uint64_t size) {
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0) {
        return 0;
    }
    uint64_t sum = 0;
    std::array<uint8_t, 4096> buffer{};
    if (size >= 128 && ::pread(fd, buffer.data(), 128, static_cast<off_t>(size - 128)) == 128 &&
        std::memcmp(buffer.data(), "TAG", 3) == 0) {
        sum = buffer[3] + ReadFirstFrame(fd, 0);
        ::close(fd);
        return sum;
    }
    if (::pread(fd, buffer.data(), 10, 0) == 10 && std::memcmp(buffer.data(), "ID3", 3) == 0) {
        const uint32_t tagSize = SynchsafeAt(buffer.data() + 6);
        const bool v4 = buffer[3] == 4;
        uint64_t offset = 10;
        while (offset + 10 <= 10 + uint64_t{tagSize}) {
            if (::pread(fd, buffer.data(), 10, static_cast<off_t>(offset)) != 10 ||
                buffer[0] == 0) {
                break;
            }
            const uint32_t frameSize =
                v4 ? SynchsafeAt(buffer.data() + 4) : BigEndianAt(buffer.data() + 4);
            if (buffer[0] == 'T' || buffer[0] == 'C') {
                const size_t take = std::min<size_t>(frameSize, buffer.size());
                sum += static_cast<uint64_t>(
                    ::pread(fd, buffer.data(), take, static_cast<off_t>(offset + 10)));
            }
            offset += 10 + uint64_t{frameSize};
        }
        sum += ReadFirstFrame(fd, 10 + uint64_t{tagSize});
        ::close(fd);
        return sum + 1;
    }
    if (size >= 32 && ::pread(fd, buffer.data(), 32, static_cast<off_t>(size - 32)) == 32 &&
        std::memcmp(buffer.data(), "APETAGEX", 8) == 0) {
        const uint32_t tagSize = std::min<uint32_t>(LittleEndianAt(buffer.data() + 12), 4096);
        sum += static_cast<uint64_t>(
            ::pread(fd, buffer.data(), tagSize, static_cast<off_t>(size - tagSize)));
    }
    sum += ReadFirstFrame(fd, 0);
    ::close(fd);
    return sum;
}

uint64_t FloorWalk(const std::string& directory, uint64_t& entries) {
    uint64_t sum = 0;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) {
        return 0;
    }
    std::vector<std::string> folders;
    while (const dirent* item = ::readdir(dir)) {
        if (item->d_name[0] == '.') {
            continue;
        }
        struct stat status {};
        if (::fstatat(::dirfd(dir), item->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        ++entries;
        const std::string path = directory + item->d_name;
        if (S_ISDIR(status.st_mode)) {
            folders.push_back(path + '/');
            continue;
        }
        const size_t length = std::strlen(item->d_name);
        if (length > 4 && ::strcasecmp(item->d_name + length - 4, ".mp3") == 0) {
            sum += ReadTagRanges(path.c_str(), static_cast<uint64_t>(status.st_size));
        }
    }
    ::closedir(dir);
    for (const std::string& folder : folders) {
        sum += FloorWalk(folder, entries);
    }
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    // The floor as a whole process, run as a child of this same program.
    if (argc == 3 && std::strcmp(argv[1], "--floor") == 0) {
        uint64_t entries = 0;
        return FloorWalk(std::string(argv[2]) + '/', entries) > 0 ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path root = EnsureScanTree();
    const QString folder = QString::fromStdString(root.string());

    TFileInfo engine;
    TCatalogTree tree;
    const std::string self = fs::canonical("/proc/self/exe").string();
    const std::string cli = (fs::path(self).parent_path() / "melodrix-cli").string();
    const fs::path library = fs::temp_directory_path() / ("scan_bench_" + std::to_string(getpid()));
    double best = 1e9, bestFloor = 1e9, bestCommand = 1e9, bestFloorProcess = 1e9,
           bestTagsOnly = 1e9;
    uint64_t entries = 0, checksum = 0;
    size_t nodes = 0;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the page cache
        entries = 0;
        auto start = TClock::now();
        checksum += FloorWalk(root.string() + '/', entries);
        const double floor = SecondsSince(start);

        tree.Clear();
        start = TClock::now();
        engine.ScanFolder(tree, folder, QStringLiteral("\\.MP3\\"), false,
                          QStringLiteral("/tmp/Bench.xml"));
        const double ours = SecondsSince(start);
        nodes = tree.NodeCount();

        tree.Clear();
        start = TClock::now();
        ScanFolderToTree(engine.Progress(), tree, folder, QStringLiteral("\\.MP3\\"), false,
                         QStringLiteral("/tmp/Bench.xml"), nullptr, false);
        const double tagsOnly = SecondsSince(start);

        const double floorProcess = bench::RunProcess({self, "--floor", root.string()}).seconds;
        const double command =
            bench::RunProcess({cli, "--quiet", "--library", library.string(), "scan", root.string(),
                               "--name", "Bench", "--force"})
                .seconds;
        std::fprintf(stderr,
                     "round %d: floor %.3f s, ScanFolder %.3f s, without audio properties "
                     "%.3f s; processes: floor %.3f s, melodrix-cli scan %.3f s (%.2fx)\n",
                     round, floor, ours, tagsOnly, floorProcess, command, command / floorProcess);
        if (round > 0) {
            bestFloor = std::min(bestFloor, floor);
            best = std::min(best, ours);
            bestTagsOnly = std::min(bestTagsOnly, tagsOnly);
            bestFloorProcess = std::min(bestFloorProcess, floorProcess);
            bestCommand = std::min(bestCommand, command);
        }
    }
    std::printf("entries listed by the floor: %llu, catalog items: %zu (checksum %llu)\n",
                static_cast<unsigned long long>(entries), nodes,
                static_cast<unsigned long long>(checksum % 1000));
    std::printf("floor (list, stat, tag and first-frame reads): %.3f s\n", bestFloor);
    std::printf("ScanFolder:                    %.3f s  = %.2fx the floor (target <= 1.3x)\n", best,
                best / bestFloor);
    std::printf("ScanFolder without audio:      %.3f s; with them %.2fx (target <= 1.15x)\n",
                bestTagsOnly, best / bestTagsOnly);
    std::printf("floor as a whole process:      %.3f s\n", bestFloorProcess);
    std::printf("melodrix-cli scan (and save):  %.3f s  = %.2fx the floor (target <= 1.3x)\n",
                bestCommand, bestCommand / bestFloorProcess);
    fs::remove_all(library);
    return best / bestFloor <= 1.3 && best / bestTagsOnly <= 1.15 &&
                   bestCommand / bestFloorProcess <= 1.3
               ? 0
               : 1;
}
