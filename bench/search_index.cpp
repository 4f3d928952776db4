// The search index against its floors, whole processes side by side in one run:
//   `melodrix-cli search --name TEXT`, index warm, against `rg -j1 -F -i TEXT` over the catalog
//   files (the sums over 100 names of the library): <= 0.2x for a million items in 50
//   catalogs, <= 0.1x for ten million in 500 (with --large);
//   `melodrix-cli index` from nothing against one full pass, `search --no-index`: <= 2x;
//   the check of a warm index (every copy against its catalog): <= 5 ms per 100 catalogs;
//   the size of the copies against that of the catalogs: <= 0.5x.
//
//     bench_search_index [--large]
#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ProcessCost.h"
#include "SearchLibraryFixture.h"
#include "core/index/SearchIndex.h"

using namespace melodrix;
using namespace melodrix::bench;
namespace fs = std::filesystem;

namespace {

// 100 song names of the library as a user types them: the name without track number and
// extension ("Sol Stone Highway"), XML entities left out.
std::vector<std::string> QueriesOf(const std::string& catalog) {
    std::ifstream in(catalog);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::regex name(R"re(FileName="\d\d - ([^"&]+)\.mp3")re");
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), name);
         it != std::sregex_iterator(); ++it) {
        if (seen.insert((*it)[1]).second) {
            names.push_back((*it)[1]);
        }
    }
    std::mt19937 random(2026);
    std::shuffle(names.begin(), names.end(), random);
    names.resize(std::min<size_t>(names.size(), 100));
    return names;
}

std::string FindRipgrep() {
    for (const char* path : {"/usr/bin/rg", "/usr/local/bin/rg"}) {
        if (fs::exists(path)) {
            return path;
        }
    }
    std::fprintf(stderr, "ripgrep (rg) is needed as the floor: apt-get install ripgrep\n");
    std::exit(1);
}

void Measure(const std::string& cli, int catalogs, double target) {
    std::vector<std::string> files;
    const fs::path library = EnsureSearchLibrary(files, catalogs);
    const std::vector<std::string> queries = QueriesOf(files.front());
    const std::string rg = FindRipgrep();
    const fs::path cache = fs::temp_directory_path() / "melodrix-bench-index";
    fs::remove_all(cache);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const std::string lib = library.string();

    // Warm both: the catalog files in the page cache, the index made.
    RunProcess({rg, "-j1", "-F", "-i", "-c", queries[0], lib});
    const double build = RunProcess({cli, "--library", lib, "index"}).seconds;
    const double pass =
        RunProcess({cli, "--library", lib, "search", "--no-index", "--name", queries[0]}).seconds;
    fs::remove_all(cache);
    const double build2 = RunProcess({cli, "--library", lib, "index"}).seconds;
    const double pass2 =
        RunProcess({cli, "--library", lib, "search", "--no-index", "--name", queries[0]}).seconds;

    double ours = 0;
    double floor = 0;
    double peak = 0;
    for (const std::string& query : queries) {
        // rg exits 1 when nothing matches; every query is a name of the library.
        floor += RunProcess({rg, "-j1", "-F", "-i", query, lib}).seconds;
        const TProcessCost cost = RunProcess({cli, "--library", lib, "search", "--name", query});
        ours += cost.seconds;
        peak = std::max(peak, cost.peakBytes);
    }

    QCoreApplication::setApplicationName(QStringLiteral("bench"));
    TSearchIndex index(QString::fromStdString((cache / "melodrix/search-index").string()));
    TSilentProgress progress;
    TIndexSurvey survey;
    double check = 1e9;
    for (int i = 0; i < 5; ++i) {
        check = std::min(check, Seconds([&] {
                             survey = index.Survey(QString::fromStdString(lib), false, progress);
                         }));
    }

    std::printf("%d catalogs, %llu items, %zu queries\n", catalogs,
                static_cast<unsigned long long>(survey.items), queries.size());
    std::printf("  search --name, index warm (sum)   %.3f s  peak %.0f MB\n", ours, peak / 1e6);
    std::printf("  rg -j1 -F -i (sum)                %.3f s\n", floor);
    std::printf("  ratio                             %.3fx   target <= %.2fx\n", ours / floor,
                target);
    std::printf("  index from nothing                %.3f / %.3f s\n", build, build2);
    std::printf("  search --no-index, one query      %.3f / %.3f s\n", pass, pass2);
    std::printf("  ratio (best of each)              %.2fx   target <= 2x\n",
                std::min(build, build2) / std::min(pass, pass2));
    std::printf("  check of a warm index             %.2f ms per 100 catalogs   target <= 5\n",
                check * 1000 * 100 / catalogs);
    std::printf("  copies / catalogs                 %.1f / %.1f MB = %.2fx   target <= 0.5x\n",
                static_cast<double>(survey.bytes) / 1e6,
                static_cast<double>(survey.catalogBytes) / 1e6,
                static_cast<double>(survey.bytes) / static_cast<double>(survey.catalogBytes));
    fs::remove_all(cache);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // figures show as they come, also into a file
    QCoreApplication app(argc, argv);
    const std::string cli = (fs::path(argv[0]).parent_path() / "melodrix-cli").string();
    Measure(cli, kSearchCatalogs, 0.2);
    if (argc > 1 && std::strcmp(argv[1], "--large") == 0) {
        Measure(cli, 500, 0.1);
    }
    return 0;
}
