// The search with tag and range conditions, and the duplicate finder, against the
// name-only search of the same library (50 catalogs of 20,000 items, a million items).
//
//     bench_search_conditions [rounds]     (default 5; the library is written on first use)
//
// Targets: conditions <= 1.2x the name-only search, duplicates <= 2x. The three are
// measured in turn within each round, so load from other processes affects all alike;
// each figure is the best of the rounds, and every round is printed for the spread.

#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SearchLibraryFixture.h"
#include "core/engine/FileInfo.h"
#include "core/search/Duplicates.h"
#include "core/search/SearchConditions.h"

using namespace melodrix;
using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The fixture's times are written as a scan in English (United States) writes them.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<std::string> files;
    const std::string library = bench::EnsureSearchLibrary(files).string();

    pugi::xml_document document;
    TFileInfo engine;
    engine.Document = &document;
    TCatalogTree hits;

    TSearchOptions conditions;
    conditions.texts.push_back({MP3_Artist, "night"});
    conditions.texts.push_back({MP3_Genre, "o"});
    conditions.size.low = 1024 * 1024;
    conditions.year = *ParseYearRange(QStringLiteral("1990-2015"));
    conditions.time.low = MsecsOfDayStart(QDate(2005, 1, 1));
    conditions.kind = TItemKind::Files;

    double bestName = 1e9, bestConditions = 1e9, bestDuplicates = 1e9;
    size_t nameHits = 0, conditionHits = 0, duplicateHits = 0;
    int groups = 0;
    uint64_t extra = 0;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the page cache
        // Each search starts from an empty result, so that none pays for freeing another's.
        hits.Clear();
        TFileItem record;
        record.SetField(FullPath, library);
        record.SetField(FileName, "night");
        auto start = TClock::now();
        engine.Search(TSearchScope::Group, hits, record, false, false);
        const double name = SecondsSince(start);
        nameHits = hits.NodeCount();

        hits.Clear();
        TFileItem plain;
        plain.SetField(FullPath, library);
        start = TClock::now();
        engine.Search(TSearchScope::Group, hits, plain, conditions);
        const double withConditions = SecondsSince(start);
        conditionHits = hits.NodeCount();

        hits.Clear();
        start = TClock::now();
        const TDuplicates found = engine.FindDuplicates(
            TSearchScope::Group, QString::fromStdString(library), TDuplicateKey::NameSize, hits);
        const double duplicates = SecondsSince(start);
        duplicateHits = hits.NodeCount();
        groups = found.groups;
        extra = found.extraBytes;

        std::fprintf(stderr,
                     "round %d: name %.3f s, conditions %.3f s (%.2fx), duplicates %.3f s "
                     "(%.2fx)\n",
                     round, name, withConditions, withConditions / name, duplicates,
                     duplicates / name);
        if (round > 0) {
            bestName = std::min(bestName, name);
            bestConditions = std::min(bestConditions, withConditions);
            bestDuplicates = std::min(bestDuplicates, duplicates);
        }
    }
    std::printf("catalogs: %d of %llu items\n", bench::kSearchCatalogs,
                static_cast<unsigned long long>(bench::kSearchItemsPerCatalog));
    std::printf("name-only search (\"night\"):        %.3f s, %zu hits\n", bestName, nameHits);
    std::printf("tag and range conditions:          %.3f s, %zu hits  = %.2fx (target <= 1.2x)\n",
                bestConditions, conditionHits, bestConditions / bestName);
    std::printf(
        "duplicates by name and size:       %.3f s, %zu hits in %d groups, %llu extra bytes"
        "  = %.2fx (target <= 2x)\n",
        bestDuplicates, duplicateHits, groups, static_cast<unsigned long long>(extra),
        bestDuplicates / bestName);
    return bestConditions / bestName <= 1.2 && bestDuplicates / bestName <= 2.0 ? 0 : 1;
}
