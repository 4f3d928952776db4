// Searching a library of 50 catalogs of 20,000 items (a million items) by a file-name
// substring, against the XML library's own load of the same 50 files.
//
//     bench_search_library [rounds]     (default 5; the library is written on first use)
//
// Target: Search <= 1.5x the floor. Each figure is the best of the rounds, the two
// measured alternately so that load from other processes affects both alike.

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SearchLibraryFixture.h"
#include "core/catalog/FileInfo.h"

using namespace melodrix;
namespace fs = std::filesystem;

namespace {

using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;
constexpr int kCatalogs = bench::kSearchCatalogs;
constexpr uint64_t kItemsPerCatalog = bench::kSearchItemsPerCatalog;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<std::string> files;
    const fs::path library = bench::EnsureSearchLibrary(files);

    pugi::xml_document document;
    TFileInfo engine;
    engine.Document = &document;
    TCatalogTree hits;
    double best = 1e9, bestFloor = 1e9;
    size_t elements = 0;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the page cache
        auto start = TClock::now();
        for (const std::string& file : files) {
            pugi::xml_document floor;
            if (!floor.load_file(file.c_str(), pugi::parse_default | pugi::parse_declaration)) {
                std::fprintf(stderr, "cannot load %s\n", file.c_str());
                return 2;
            }
            elements += floor.document_element() ? 1 : 0;
        }
        const double floor = SecondsSince(start);

        TFileItem conditions;
        conditions.SetField(FullPath, library.string());
        conditions.SetField(FileName, "night");
        start = TClock::now();
        const QStringList skipped =
            engine.Search(TSearchScope::Group, hits, conditions, false, false);
        const double ours = SecondsSince(start);
        if (!skipped.isEmpty()) {
            std::fprintf(stderr, "%lld files skipped\n", static_cast<long long>(skipped.size()));
            return 2;
        }
        std::fprintf(stderr, "round %d: floor %.3f s, Search %.3f s\n", round, floor, ours);
        if (round > 0) {
            bestFloor = std::min(bestFloor, floor);
            best = std::min(best, ours);
        }
    }
    std::printf("catalogs: %d of %llu items, hits for \"night\": %zu\n", kCatalogs,
                static_cast<unsigned long long>(kItemsPerCatalog), hits.NodeCount());
    std::printf("floor (load_file of every catalog): %.3f s\n", bestFloor);
    std::printf("Search:                             %.3f s  = %.2fx the floor (target <= 1.5x)\n",
                best, best / bestFloor);
    return best / bestFloor <= 1.5 ? 0 : 1;
}
