// The Statistics window against the command-line tool on the same million-item catalog of a
// library: (a) the whole process `melodrix-cli stats CATALOG`, (b) the window opened as the
// main window opens it for its open catalog, offscreen, until its figures, charts and size
// map are filled and painted. Rounds alternate a and b, so load from other processes falls on
// both alike; the best of each is compared.
//
//     bench_gui_stats [items] [rounds]      (default 1000000 items, 5 rounds)
//
// Target: window <= 1.5x the command.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "CatalogFixture.h"
#include "ProcessCost.h"
#include "core/config/Config.h"
#include "gui/shell/MainWindow.h"
#include "gui/stats/SizeMap.h"
#include "gui/stats/StatsWindow.h"

using namespace melodrix;

namespace {

using melodrix::bench::SecondsSince;
using melodrix::bench::TClock;

// Opens the statistics of `catalog` through the main window and waits until the window has
// shown its figures; the seconds that took. Stops the benchmark when it shows none.
double OpenWindow(TFMMain& main, const QString& catalog) {
    const auto start = TClock::now();
    main.OpenStatistics(catalog, false);
    TStatsWindow* window = main.findChild<TStatsWindow*>();
    if (!window) {
        std::fprintf(stderr, "no statistics window\n");
        std::exit(1);
    }
    if (window->Computing()) {
        QEventLoop loop;
        QObject::connect(window, &TStatsWindow::Finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    window->repaint();
    const double seconds = SecondsSince(start);
    if (window->Figures().files == 0 || !window->SizeMap() || window->Tabs()->count() < 2) {
        std::fprintf(stderr, "the window shows no figures\n");
        std::exit(1);
    }
    delete window;
    QCoreApplication::processEvents();
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const uint64_t items = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
    const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
    const std::string fixture = bench::EnsureCatalogFixture(items);

    QTemporaryDir base;
    QDir(base.path()).mkpath(QStringLiteral("CatalogLibrary/Mp3"));
    const QString library = base.path() + QStringLiteral("/CatalogLibrary");
    const QString catalog = library + QStringLiteral("/Mp3/big.xml");
    std::filesystem::copy_file(fixture, catalog.toStdString());
    UseConfigDirectory(base.path());
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string cli = (std::filesystem::path(self).parent_path() / "melodrix-cli").string();
    std::printf("catalog %s: %.1f MB, %llu items; %d rounds, command and window alternating\n",
                qPrintable(catalog), static_cast<double>(std::filesystem::file_size(fixture)) / 1e6,
                static_cast<unsigned long long>(items), rounds);

    TFMMain main;
    main.show();
    QCoreApplication::processEvents();
    double command = 1e9, window = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const double a = bench::RunProcess({cli, "--library", library.toStdString(), "--quiet",
                                            "stats", catalog.toStdString()})
                             .seconds;
        const double b = OpenWindow(main, catalog);
        std::printf("round %d: stats %.3f s, window %.3f s, %.2fx\n", round + 1, a, b, b / a);
        command = std::min(command, a);
        window = std::min(window, b);
    }
    std::printf("melodrix-cli stats (whole process, best)   %.3f s\n", command);
    std::printf("statistics window to its figures (best)    %.3f s\n", window);
    std::printf("window / stats                             %.2fx (target <= 1.50x)\n",
                window / command);
    return 0;
}
