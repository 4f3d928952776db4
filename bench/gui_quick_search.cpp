// The tool bar's search box on the search benchmarks' library (50 catalogs, a million items),
// driven offscreen through the real main window with the search index warm: from the moment a
// search starts (the pause after the last key is over) until its last hit is painted in the
// content view. The floor, measured in the same run and alternating query by query, is
// `melodrix-cli search --name TEXT` as a whole process for the same text, index warm too.
// The texts are the titles of tracks spread over a catalog of the library.
//
//     bench_gui_quick_search [queries]      (default 100; the library is written on first use)
//
// Target: the window <= 1.2x the command, over all the queries. The index and the window's
// configuration live in bench-data/quick_search/, never in the user's folders.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ProcessCost.h"
#include "SearchLibraryFixture.h"
#include "core/config/Config.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/MainWindow.h"

using namespace melodrix;
namespace fs = std::filesystem;

namespace {

using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;

// Track titles ("01 - Sol Stone Highway.mp3" gives "Sol Stone Highway"), spread evenly over
// the catalog's files.
std::vector<std::string> TitlesOf(const std::string& catalog, size_t count) {
    pugi::xml_document document;
    document.load_file(catalog.c_str());
    std::vector<std::string> titles;
    for (const pugi::xpath_node& node : document.select_nodes("//file[@FileType='file']")) {
        std::string name = node.node().attribute("FileName").value();
        const size_t dash = name.find(" - ");
        const size_t dot = name.rfind('.');
        if (dash == std::string::npos || dot == std::string::npos || dot <= dash + 3) {
            continue;
        }
        titles.push_back(name.substr(dash + 3, dot - dash - 3));
    }
    std::vector<std::string> picked;
    for (size_t i = 0; i < count && !titles.empty(); ++i) {
        picked.push_back(titles[i * titles.size() / count]);
    }
    return picked;
}

// Runs the event loop until the box's search has shown every hit.
void WaitUntilShown(TFMMain& main) {
    while (!main.QuickSearchIdle()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Fixed folders, so the index made by one run is warm for the next.
    const fs::path home = bench::BenchDataDirectory() / "quick_search";
    fs::create_directories(home / "cache");
    qputenv("XDG_CACHE_HOME", (home / "cache").c_str());
    qputenv("XDG_DATA_HOME", (home / "data").c_str());
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const size_t queries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;

    std::vector<std::string> files;
    const fs::path library = bench::EnsureSearchLibrary(files);
    // The window's library is the benchmark's, by a link, under the same path as the command's.
    const fs::path linked = home / "CatalogLibrary";
    std::error_code error;
    fs::remove(linked, error);
    fs::create_directory_symlink(fs::canonical(library), linked);
    UseConfigDirectory(QString::fromStdString(home.string()));
    const std::string self = fs::canonical("/proc/self/exe").string();
    const std::string cli = (fs::path(self).parent_path() / "melodrix-cli").string();
    const std::string libraryArg = linked.string();

    const std::vector<std::string> texts = TitlesOf(files.front(), queries);
    std::printf(
        "library %s: %d catalogs, %llu items; %zu queries\n", library.c_str(),
        bench::kSearchCatalogs,
        static_cast<unsigned long long>(bench::kSearchCatalogs * bench::kSearchItemsPerCatalog),
        texts.size());

    // The index made (or found current) before anything is timed.
    bench::RunProcess({cli, "--library", libraryArg, "index"});

    TFMMain main;
    main.resize(1280, 800);
    main.show();
    QCoreApplication::processEvents();
    // The window's own survey finds the index current; it is let finish first.
    const auto surveyStart = TClock::now();
    while (SecondsSince(surveyStart) < 3.0 || main.IndexUpkeep().State().running ||
           main.IndexUpkeep().State().pending) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    const auto searchInWindow = [&](const std::string& text) {
        main.QuickSearchBox()->setText(QString::fromStdString(text));
        const auto start = TClock::now();
        main.StartQuickSearch();
        WaitUntilShown(main);
        main.VT()->viewport()->repaint();
        return SecondsSince(start);
    };
    // Warm-up, untimed: the window maps the copies, the command's pages are in the cache.
    searchInWindow(texts.front());
    bench::RunProcess({cli, "--library", libraryArg, "search", "--name", texts.front()});

    double window = 0, command = 0, slowestWindow = 0, slowestCommand = 0;
    uint64_t hits = 0;
    for (const std::string& text : texts) {
        const double c =
            bench::RunProcess({cli, "--library", libraryArg, "search", "--name", text}).seconds;
        const double w = searchInWindow(text);
        hits += static_cast<uint64_t>(main.ContentTree().TopLevelCount());
        command += c;
        window += w;
        slowestCommand = std::max(slowestCommand, c);
        slowestWindow = std::max(slowestWindow, w);
    }
    main.hide();

    const double n = static_cast<double>(texts.size());
    std::printf("hits shown: %llu over %zu queries (%.0f a query)\n",
                static_cast<unsigned long long>(hits), texts.size(), static_cast<double>(hits) / n);
    std::printf(
        "melodrix-cli search --name (whole process)  %.3f s  (%.1f ms a query, slowest %.1f)\n",
        command, 1000 * command / n, 1000 * slowestCommand);
    std::printf(
        "search box, start to hits painted          %.3f s  (%.1f ms a query, slowest %.1f)\n",
        window, 1000 * window / n, 1000 * slowestWindow);
    std::printf("search box / command                       %.2fx (target <= 1.20x)\n",
                window / command);
    return 0;
}
