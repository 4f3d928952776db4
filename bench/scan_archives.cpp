// Scanning a music tree where a quarter of the albums are zipped, looking inside the archives,
// against the scan of the same tree unpacked.
//
//     bench_scan_archives [rounds]     (default 5)
//
// The tree is bench_scan_folder's (20,000 MP3 files in 1,000 album folders; written by that
// benchmark, which is run first when it is missing). Its copy in bench-data/scan_tree_zipped
// holds every fourth album as "Album N.zip" made by zip, the others as hard links to the same
// files. Target, page cache warm: the scan with archives <= 1.5x the scan of the unpacked tree
// with the same options. Each figure is the best of the rounds, the two scans alternating.

#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "CatalogFixture.h"
#include "ProcessCost.h"
#include "core/engine/FileInfo.h"
#include "core/scan/MusicMasks.h"
#include "core/scan/ScanOptions.h"

using namespace melodrix;
namespace fs = std::filesystem;

namespace {

using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;

fs::path DataDirectory() {
    return bench::BenchDataDirectory();
}

// The zipped copy of the tree, written once.
fs::path EnsureZippedTree(const fs::path& tree) {
    const fs::path zipped = DataDirectory() / "scan_tree_zipped";
    if (fs::exists(zipped / ".complete")) {
        return zipped;
    }
    fs::remove_all(zipped);
    int album = 0;
    for (const fs::directory_entry& artist : fs::directory_iterator(tree)) {
        if (!artist.is_directory()) {
            continue;
        }
        const fs::path artistCopy = zipped / artist.path().filename();
        fs::create_directories(artistCopy);
        for (const fs::directory_entry& folder : fs::directory_iterator(artist.path())) {
            const std::string name = folder.path().filename().string();
            if (album++ % 4 == 0) {
                QProcess zip;
                zip.setWorkingDirectory(QString::fromStdString(artist.path().string()));
                zip.start(QStringLiteral("zip"),
                          {QStringLiteral("-qr"),
                           QString::fromStdString((artistCopy / (name + ".zip")).string()),
                           QString::fromStdString(name)});
                if (!zip.waitForFinished(60000) || zip.exitCode() != 0) {
                    throw std::runtime_error("zip failed (is it installed? scripts/install-deps)");
                }
                continue;
            }
            fs::create_directories(artistCopy / name);
            for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
                fs::create_hard_link(file.path(), artistCopy / name / file.path().filename());
            }
        }
    }
    std::fclose(std::fopen((zipped / ".complete").c_str(), "w"));
    return zipped;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path tree = DataDirectory() / "scan_tree";
    if (!fs::exists(tree / ".complete-frames")) {
        const std::string self = fs::canonical("/proc/self/exe").string();
        const std::string writer = (fs::path(self).parent_path() / "bench_scan_folder").string();
        std::fprintf(stderr, "writing the scan tree with %s\n", writer.c_str());
        bench::RunProcess({writer, "1"});
    }
    const fs::path zipped = EnsureZippedTree(tree);

    TScanOptions options;
    options.MaskList = kMp3MaskList;
    options.Archives = true;
    TFileInfo engine;
    TCatalogTree catalog;
    double bestUnpacked = 1e9, bestZipped = 1e9;
    size_t unpackedItems = 0, zippedItems = 0;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the page cache
        catalog.Clear();
        auto start = TClock::now();
        engine.ScanFolder(catalog, QString::fromStdString(tree.string()), options,
                          QStringLiteral("/tmp/Bench.xml"));
        const double unpacked = SecondsSince(start);
        unpackedItems = catalog.NodeCount();

        catalog.Clear();
        start = TClock::now();
        const TScanOutcome outcome =
            engine.ScanFolder(catalog, QString::fromStdString(zipped.string()), options,
                              QStringLiteral("/tmp/Bench.xml"));
        const double inArchives = SecondsSince(start);
        zippedItems = catalog.NodeCount();
        if (!outcome.Complete()) {
            std::fprintf(stderr, "the zipped tree did not scan whole\n");
            return 1;
        }
        std::fprintf(stderr, "round %d: unpacked %.3f s, a quarter zipped %.3f s (%.2fx)\n", round,
                     unpacked, inArchives, inArchives / unpacked);
        if (round > 0) {
            bestUnpacked = std::min(bestUnpacked, unpacked);
            bestZipped = std::min(bestZipped, inArchives);
        }
    }
    // Each zipped album adds its archive's item above the album's folder.
    std::printf("catalog items: unpacked %zu, a quarter zipped %zu\n", unpackedItems, zippedItems);
    std::printf("scan of the unpacked tree:           %.3f s\n", bestUnpacked);
    std::printf("scan with a quarter of albums zipped: %.3f s = %.2fx (target <= 1.5x)\n",
                bestZipped, bestZipped / bestUnpacked);
    return bestZipped / bestUnpacked <= 1.5 ? 0 : 1;
}
