// Sorting a large catalog tree as the content view does: by name, then by size, then by
// time. Shows the sort on one thread against the sort split over two, round by round, so a
// change to how the work is shared shows whether the second thread still pays.
#include <QCoreApplication>
#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sorting.h"

using namespace melodrix;
using namespace melodrix::bench;

namespace {

// Artists, each with albums of tracks: the shape of a music disk, with sizes and times that
// are not in order.
void FillTree(TCatalogTree& tree, int artists, int albums, int tracks) {
    TCatalogNode* root = tree.AppendChild();
    root->Item().SetField(FileName, "/music");
    root->Item().SetField(FileType, "directory");
    unsigned seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFF;
    };
    for (int a = 0; a < artists; ++a) {
        TCatalogNode* artist = tree.AppendChild(root);
        artist->Item().SetField(FileName, "Artist " + std::to_string(next() % 100000));
        artist->Item().SetField(FileType, "directory");
        for (int b = 0; b < albums; ++b) {
            TCatalogNode* album = tree.AppendChild(artist);
            album->Item().SetField(FileName, "Album " + std::to_string(next() % 1000));
            album->Item().SetField(FileType, "directory");
            for (int t = 0; t < tracks; ++t) {
                TCatalogNode* track = tree.AppendChild(album);
                track->Item().SetField(FileName, std::to_string(next() % 100) + " Track name.mp3");
                track->Item().SetField(FileType, "file");
                track->Item().SetField(FileSize, std::to_string(next()));
                track->Item().SetField(FileTime, "12/" + std::to_string(1 + next() % 28) + "/20" +
                                                     std::to_string(10 + next() % 15) + " 9:" +
                                                     std::to_string(10 + next() % 50) + ":00 PM");
            }
        }
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    TCatalogTree tree;
    FillTree(tree, 1000, 10, 100);
    std::printf("tree of %zu items, %d rounds\n", tree.NodeCount(), rounds);
    std::vector<double> one, two;
    const int fields[] = {FileName, FileSize, FileTime};
    for (int round = 0; round < rounds; ++round) {
        for (const int threads : {1, 2}) {
            double total = 0;
            for (const int field : fields) {
                total += Seconds([&] { SortCatalogTree(tree, field, round % 2 == 0, threads); });
            }
            (threads == 1 ? one : two).push_back(total);
            std::printf("round %d, %d thread%s: %.3f s\n", round + 1, threads,
                        threads == 1 ? "" : "s", total);
        }
    }
    std::printf("median: one thread %.3f s, two threads %.3f s (%.2fx)\n", Median(one), Median(two),
                Median(two) / Median(one));
    return 0;
}
