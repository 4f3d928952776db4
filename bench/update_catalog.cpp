// Updating a catalog whose folder did not change, against what making it afresh costs: a
// scan of the folder plus a save of the catalog.
//
//     bench_update_catalog [rounds] [items]     (defaults 3 and 1,000,000)
//
// The folder: `items` small MP3 files in folders of 1,000, written on first use. Each round
// measures a fresh scan plus save and an update plus apply of the same catalog, one after
// the other, page cache warm. Target: the update <= 1.3x the scan plus save in every round.

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CatalogFixture.h"
#include "core/engine/FileInfo.h"
#include "core/scan/UpdateCatalog.h"

using namespace melodrix;
namespace fs = std::filesystem;

namespace {

using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;

constexpr int kFilesPerFolder = 1000, kFoldersPerGroup = 10;

fs::path EnsureTree(long items) {
    const fs::path root = bench::BenchDataDirectory() / ("update_tree_" + std::to_string(items));
    if (fs::exists(root / ".complete")) {
        return root;
    }
    fs::remove_all(root);
    for (long n = 0; n < items; ++n) {
        const long folder = n / kFilesPerFolder;
        const fs::path directory = root / ("Group " + std::to_string(folder / kFoldersPerGroup)) /
                                   ("Album " + std::to_string(folder));
        if (n % kFilesPerFolder == 0) {
            fs::create_directories(directory);
        }
        const fs::path file = directory / ("Track " + std::to_string(n) + ".mp3");
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "audio", 5) != 5) {
            throw std::runtime_error("cannot write " + file.string());
        }
        ::close(fd);
    }
    ::close(::open((root / ".complete").c_str(), O_WRONLY | O_CREAT, 0644));
    return root;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each round shows as soon as it is measured
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const long items = argc > 2 ? std::max(1L, std::atol(argv[2])) : 1000000L;
    const fs::path root = EnsureTree(items);
    const QString folder = QString::fromStdString(root.string());
    const QString catalog =
        QString::fromStdString((bench::BenchDataDirectory() / "update_bench.xml").string());

    pugi::xml_document document;
    TFileInfo engine;
    engine.Document = &document;
    const QString mask = QStringLiteral("\\.MP3\\");
    bool withinTarget = true;
    std::vector<double> ratios;
    {
        // A scan first, so the directory entries are cached for both sides alike.
        TCatalogTree warm;
        engine.ScanFolder(warm, folder, mask, false, catalog);
        std::printf("catalog items: %zu\n", warm.NodeCount());
    }
    for (int round = 1; round <= rounds; ++round) {
        TCatalogTree tree;
        auto start = TClock::now();
        engine.ScanFolder(tree, folder, mask, false, catalog);
        engine.NewDocument();
        engine.TreeToDocument(tree);
        engine.SaveCatalogFile(catalog);
        engine.NewDocument();
        const double fresh = SecondsSince(start);

        start = TClock::now();
        TCatalogUpdate update = UpdateCatalog(engine.Progress(), tree, catalog);
        ApplyCatalogUpdate(engine.Progress(), update, catalog);
        const double updated = SecondsSince(start);
        if (update.HasChanges()) {
            std::fprintf(stderr, "the unchanged folder gave changes\n");
            return 2;
        }
        const double ratio = updated / fresh;
        ratios.push_back(ratio);
        withinTarget = withinTarget && ratio <= 1.3;
        std::printf("round %d: scan + save %.3f s, update + apply %.3f s = %.2fx\n", round, fresh,
                    updated, ratio);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("update / (scan + save): best %.2fx, median %.2fx, worst %.2fx (target <= 1.3x)\n",
                ratios.front(), ratios[ratios.size() / 2], ratios.back());
    return withinTarget ? 0 : 1;
}
