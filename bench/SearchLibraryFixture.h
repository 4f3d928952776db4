#pragma once

// The search benchmarks' library: the 20,000-item catalog fixture copied under 50 names into
// five groups (a million items). Written to bench-data/ on first use.

#include <filesystem>
#include <string>
#include <vector>

#include "CatalogFixture.h"

namespace melodrix::bench {

inline constexpr int kSearchCatalogs = 50;
inline constexpr uint64_t kSearchItemsPerCatalog = 20'000;

// `catalogs` copies in a folder of their own (the default library: "search_library").
inline std::filesystem::path EnsureSearchLibrary(std::vector<std::string>& files,
                                                 int catalogs = kSearchCatalogs) {
    namespace fs = std::filesystem;
    const fs::path library =
        BenchDataDirectory() / (catalogs == kSearchCatalogs
                                    ? std::string("search_library")
                                    : "search_library_" + std::to_string(catalogs));
    const fs::path source = EnsureCatalogFixture(kSearchItemsPerCatalog);
    for (int i = 0; i < catalogs; ++i) {
        const fs::path group = library / ("Group " + std::to_string(i % 5));
        const fs::path file = group / ("Disk " + std::to_string(i) + ".xml");
        if (!fs::exists(file)) {
            fs::create_directories(group);
            const fs::path temporary = file.string() + ".tmp";
            fs::copy_file(source, temporary, fs::copy_options::overwrite_existing);
            fs::rename(temporary, file);
        }
        files.push_back(file.string());
    }
    return library;
}

}  // namespace melodrix::bench
