// Whole processes against their floors, alternating in one run: `melodrix-cli info` against a
// process that only loads the same file with the XML library, `describe` against one that
// loads and saves it raw, and the HTML, text and CSV exports of a library catalog against the
// same load and save. Peak memory of `info` against the file's size.
//
//     bench_catalog_commands [items] [rounds]     (default 1000000 items, 5 rounds)
//
// Targets: info <= 1.0x, describe <= 1.0x, info's peak memory <= 1.0x the file, each export
// <= 1.0x. Every round runs floor and ours back to back, so the load from other processes
// falls on both alike; each round's ratio is printed, then the best and the worst.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CatalogFixture.h"
#include "ProcessCost.h"

namespace {

using melodrix::bench::RunProcess;
using melodrix::bench::TProcessCost;

// The FullPath of the first item, read from the head of the file.
std::string FirstFullPath(const std::string& path) {
    std::ifstream in(path);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    const size_t at = head.find("FullPath=\"");
    const size_t end = head.find('"', at + 10);
    return head.substr(at + 10, end - at - 10);
}

struct TSeries {
    explicit TSeries(const char* seriesName) : name(seriesName) {}
    const char* name;
    std::vector<double> ratios;
    void Print(const char* target) const {
        std::printf("%-28s", name);
        for (const double ratio : ratios) {
            std::printf(" %5.2fx", ratio);
        }
        std::printf("   best %.2fx worst %.2fx (target %s)\n",
                    *std::min_element(ratios.begin(), ratios.end()),
                    *std::max_element(ratios.begin(), ratios.end()), target);
    }
};

}  // namespace

int main(int argc, char** argv) {
    // The floors, run as child processes of this same program.
    if (argc == 3 && std::strcmp(argv[1], "--floor-load") == 0) {
        pugi::xml_document document;
        return document.load_file(argv[2]) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--floor-load-save") == 0) {
        pugi::xml_document document;
        return document.load_file(argv[2]) && document.save_file(argv[3], "", pugi::format_raw) ? 0
                                                                                                : 1;
    }
    const uint64_t items = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string fixture = melodrix::bench::EnsureCatalogFixture(items);
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string cli = (std::filesystem::path(self).parent_path() / "melodrix-cli").string();
    const std::filesystem::path work = melodrix::bench::BenchDataDirectory();
    const std::string pid = std::to_string(getpid());
    const std::string copy = (work / ("commands_" + pid + ".xml")).string();
    const std::string out = (work / ("commands_out_" + pid)).string();
    std::filesystem::copy_file(fixture, copy, std::filesystem::copy_options::overwrite_existing);
    const double fileBytes = static_cast<double>(std::filesystem::file_size(fixture));
    const std::string item = FirstFullPath(fixture);
    std::printf("catalog %s: %.1f MB, %llu items; %d rounds, floor and ours alternating\n",
                fixture.c_str(), fileBytes / 1e6, static_cast<unsigned long long>(items), rounds);

    TSeries info{"info / load_file"}, describe{"describe / load+save"},
        memory{"info peak memory / file"}, html{"export html / load+save"},
        text{"export text / load+save"}, csv{"export csv / load+save"};
    std::vector<double> infoSeconds, floorLoadSeconds, describeSeconds, floorSaveSeconds;
    for (int round = 0; round < rounds; ++round) {
        const TProcessCost load = RunProcess({self, "--floor-load", fixture});
        const TProcessCost ours = RunProcess({cli, "info", fixture});
        info.ratios.push_back(ours.seconds / load.seconds);
        memory.ratios.push_back(ours.peakBytes / fileBytes);
        floorLoadSeconds.push_back(load.seconds);
        infoSeconds.push_back(ours.seconds);

        const TProcessCost loadSave = RunProcess({self, "--floor-load-save", fixture, out});
        const TProcessCost edit =
            RunProcess({cli, "describe", copy, item, "round " + std::to_string(round)});
        describe.ratios.push_back(edit.seconds / loadSave.seconds);
        floorSaveSeconds.push_back(loadSave.seconds);
        describeSeconds.push_back(edit.seconds);

        for (auto [series, format] :
             {std::pair{&html, "html"}, std::pair{&text, "text"}, std::pair{&csv, "csv"}}) {
            const TProcessCost floor = RunProcess({self, "--floor-load-save", fixture, out});
            const TProcessCost exported = RunProcess(
                {cli, "export", fixture, "--format", format, "-o", out + "." + format, "--force"});
            series->ratios.push_back(exported.seconds / floor.seconds);
        }
    }
    const auto range = [](const std::vector<double>& v) {
        return std::pair{*std::min_element(v.begin(), v.end()),
                         *std::max_element(v.begin(), v.end())};
    };
    std::printf(
        "seconds: load_file %.2f-%.2f, info %.2f-%.2f, load+save %.2f-%.2f, "
        "describe %.2f-%.2f\n",
        range(floorLoadSeconds).first, range(floorLoadSeconds).second, range(infoSeconds).first,
        range(infoSeconds).second, range(floorSaveSeconds).first, range(floorSaveSeconds).second,
        range(describeSeconds).first, range(describeSeconds).second);
    info.Print("<= 1.0x");
    describe.Print("<= 1.0x");
    memory.Print("<= 1.0x");
    html.Print("<= 1.0x");
    text.Print("<= 1.0x");
    csv.Print("<= 1.0x");
    for (const char* suffix : {"", ".html", ".text", ".csv"}) {
        std::filesystem::remove(out + suffix);
    }
    std::filesystem::remove(copy);
    return 0;
}
