// Opening and saving a million-item catalog against the XML library's own load and save,
// and the memory the loaded tree keeps once the document is released.
//
//     bench_catalog_io [items]      (default 1000000; the fixture is written on first use)
//
// Our streamed open and save beside the document path they replace, in one process; the
// whole-process targets are measured by bench_catalog_commands. Each figure is the best of several
// rounds, taken in one run so that load from other processes affects our code and its floor alike.
//
// The memory the opened tree keeps is measured twice, freed pages handed back: as the
// change in resident set size (/proc/self/statm) and as the change in bytes the allocator
// has handed out (mallinfo2).

#include <malloc.h>

#include <unistd.h>
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>

#include "BenchSupport.h"
#include "CatalogFixture.h"
#include "core/catalog/CatalogTree.h"
#include "core/engine/FileInfo.h"

using namespace melodrix;

namespace {

using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;

// Resident set size in bytes, from /proc/self/statm.
long long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Bytes the allocator has handed out and not had back.
long long HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

bool SameBytes(const std::string& a, const std::string& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::istreambuf_iterator<char> end;
    return std::equal(std::istreambuf_iterator<char>(x), end, std::istreambuf_iterator<char>(y),
                      end);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const uint64_t items = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
    const std::string path = melodrix::bench::EnsureCatalogFixture(items);
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    const std::string out =
        (bench::BenchDataDirectory() / ("catalog_io_out" + std::to_string(getpid()) + ".xml"))
            .string();
    std::printf("catalog %s: %.1f MB, %llu items\n", path.c_str(), fileBytes / 1e6,
                static_cast<unsigned long long>(items));

    constexpr int kRounds = 3;
    double floorLoad = 1e9, floorSave = 1e9, ourOpen = 1e9, ourSave = 1e9;
    double parseStep = 1e9, treeStep = 1e9, documentOpen = 1e9, documentSave = 1e9;
    bool identical = false;
    // Each round starts with the memory of the previous one handed back to the system, so
    // the library's load and ours both pay for fresh pages alike. Our save then runs as the
    // program runs it after an edit: right after the catalog was opened into a tree.
    for (int round = 0; round < kRounds; ++round) {
        malloc_trim(0);
        {
            pugi::xml_document document;
            auto start = TClock::now();
            if (!document.load_file(path.c_str())) {
                std::fprintf(stderr, "the fixture does not parse\n");
                return 1;
            }
            floorLoad = std::min(floorLoad, SecondsSince(start));
            start = TClock::now();
            if (!document.save_file(out.c_str(), "", pugi::format_raw)) {
                std::fprintf(stderr, "cannot write %s\n", out.c_str());
                return 1;
            }
            floorSave = std::min(floorSave, SecondsSince(start));
        }
        malloc_trim(0);
        {
            pugi::xml_document document;
            TFileInfo engine;
            engine.Document = &document;
            TCatalogTree tree;

            auto start = TClock::now();
            engine.OpenCatalogFile(QString::fromStdString(path));
            parseStep = std::min(parseStep, SecondsSince(start));
            auto step = TClock::now();
            engine.DocumentToTree(tree);
            treeStep = std::min(treeStep, SecondsSince(step));
            documentOpen = std::min(documentOpen, SecondsSince(start));

            start = TClock::now();
            engine.NewDocument();
            engine.TreeToDocument(tree);
            engine.SaveCatalogFile(QString::fromStdString(out));
            documentSave = std::min(documentSave, SecondsSince(start));
        }
        malloc_trim(0);
        {
            TFileInfo engine;
            TCatalogTree tree;
            auto start = TClock::now();
            engine.OpenCatalogTree(QString::fromStdString(path), tree);
            ourOpen = std::min(ourOpen, SecondsSince(start));
            start = TClock::now();
            engine.SaveCatalogTree(tree, QString::fromStdString(out));
            ourSave = std::min(ourSave, SecondsSince(start));
            identical = SameBytes(path, out);
            if (!identical && std::getenv("MELODRIX_KEEP_OUTPUT")) {
                std::filesystem::copy_file(out, out + ".kept",
                                           std::filesystem::copy_options::overwrite_existing);
            }
        }
    }

    // Memory of the tree alone: the document is released and freed pages are handed back
    // before measuring. Then one save from that cold state, every page of the new document
    // faulted in afresh.
    long long treeRss = 0, treeHeap = 0;
    size_t nodes = 0;
    malloc_trim(0);
    {
        const long long rssBefore = ResidentBytes();
        const long long heapBefore = HeapInUse();
        TFileInfo engine;
        TCatalogTree tree;
        engine.OpenCatalogTree(QString::fromStdString(path), tree);
        nodes = tree.NodeCount();
        malloc_trim(0);
        treeRss = ResidentBytes() - rssBefore;
        treeHeap = HeapInUse() - heapBefore;
    }
    std::filesystem::remove(out);

    std::printf("nodes in tree:                  %zu\n", nodes);
    std::printf("library load_file (floor):      %7.3f s\n", floorLoad);
    std::printf("OpenCatalogTree (streamed):     %7.3f s  = %.2fx floor\n", ourOpen,
                ourOpen / floorLoad);
    std::printf("OpenCatalogFile+DocumentToTree: %7.3f s  = %.2fx floor (parse %.3f, tree %.3f)\n",
                documentOpen, documentOpen / floorLoad, parseStep, treeStep);
    std::printf("library save_file (floor):      %7.3f s\n", floorSave);
    std::printf("SaveCatalogTree (streamed):     %7.3f s  = %.2fx floor\n", ourSave,
                ourSave / floorSave);
    std::printf("New+TreeToDocument+Save:        %7.3f s  = %.2fx floor\n", documentSave,
                documentSave / floorSave);
    std::printf("tree memory, RSS delta:         %7.1f MB = %.2fx file (target <= 1.0)\n",
                static_cast<double>(treeRss) / 1e6, static_cast<double>(treeRss) / fileBytes);
    std::printf("tree memory, heap in use delta: %7.1f MB = %.2fx file\n",
                static_cast<double>(treeHeap) / 1e6, static_cast<double>(treeHeap) / fileBytes);
    std::printf("saved catalog identical to the fixture: %s\n", identical ? "yes" : "no");
    return 0;
}
