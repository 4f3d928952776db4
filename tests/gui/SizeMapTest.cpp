// The size map: the folder sums it is drawn from, the squarified layout, zooming, and a
// million files staying quick to lay out.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "gui/stats/SizeMap.h"

using namespace melodrix;

namespace {

TFileItem Item(const std::string& path, const char* type, const std::string& size = {},
               const std::string& extension = {}) {
    TFileItem item;
    item.SetField(FullPath, path);
    item.SetField(FileType, type);
    item.SetField(FileSize, size);
    item.SetField(FileExt, extension);
    return item;
}

// /d holds a/ (1.mp3 100 bytes, x/ with v.mkv 1000 bytes), b/ (c.jpg 50 bytes) and top.txt.
TFolderMap SmallMap() {
    TFolderMap map;
    for (const TFileItem& item :
         {Item("/d", "directory"), Item("/d/a", "directory"),
          Item("/d/a/1.mp3", "file", "100", "mp3"), Item("/d/a/x", "directory"),
          Item("/d/a/x/v.mkv", "file", "1000", "mkv"), Item("/d/b", "directory"),
          Item("/d/b/c.jpg", "file", "50", "jpg"), Item("/d/top.txt", "file", "5", "txt")}) {
        map.Add(item);
    }
    map.Finish();
    return map;
}

int IndexOf(const TFolderMap& map, const std::string& path) {
    for (size_t i = 0; i < map.folders.size(); ++i) {
        if (map.folders[i].path == path) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

double Area(const QRectF& rect) {
    return rect.width() * rect.height();
}

}  // namespace

class TSizeMapTest : public QObject {
    Q_OBJECT

private slots:
    void FoldersSumEveryDepth() {
        const TFolderMap map = SmallMap();
        QCOMPARE(map.folders.size(), size_t(4));
        const auto& top = map.folders[0];
        QCOMPARE(top.bytes, uint64_t(1155));
        QCOMPARE(top.items, uint64_t(7));
        const int a = IndexOf(map, "/d/a"), b = IndexOf(map, "/d/b"), x = IndexOf(map, "/d/a/x");
        QCOMPARE(map.folders[a].bytes, uint64_t(1100));
        QCOMPARE(map.folders[a].items, uint64_t(4));  // itself, 1.mp3, x, v.mkv
        QCOMPARE(map.folders[x].parent, a);
        QCOMPARE(top.children, (std::vector<int>{a, b}));  // most bytes first
        QCOMPARE(map.KindOf(a), 2);                        // video outweighs music there
        QCOMPARE(map.KindOf(b), 1);                        // images
    }

    void SquarifiedTilesFillTheAreaInProportion() {
        const std::vector<double> sizes{6, 6, 4, 3, 2, 2, 1};
        const QRectF area(10, 20, 6, 4);
        const std::vector<QRectF> rects = SquarifiedLayout(sizes, area);
        QCOMPARE(rects.size(), sizes.size());
        for (size_t i = 0; i < rects.size(); ++i) {
            QVERIFY(qAbs(Area(rects[i]) - sizes[i]) < 1e-9);
            QVERIFY(area.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(rects[i]));
            QVERIFY(std::max(rects[i].width() / rects[i].height(),
                             rects[i].height() / rects[i].width()) < 3.0);
            for (size_t j = i + 1; j < rects.size(); ++j) {
                const QRectF overlap = rects[i].intersected(rects[j]);
                QVERIFY(Area(overlap) < 1e-9);
            }
        }
        QVERIFY(SquarifiedLayout({0, 0}, area)[0].isNull());
    }

    void ClickZoomsInAndZoomToGoesBack() {
        auto map = std::make_shared<TFolderMap>(SmallMap());
        TSizeMap view;
        view.resize(400, 300);
        view.SetMap(map);
        const int a = IndexOf(*map, "/d/a"), b = IndexOf(*map, "/d/b"), x = IndexOf(*map, "/d/a/x");
        QRectF tileA, tileB;
        for (const auto& tile : view.Tiles()) {
            if (tile.folder == a && tile.depth == 1)
                tileA = tile.rect;
            if (tile.folder == b && tile.depth == 1)
                tileB = tile.rect;
        }
        QVERIFY(!tileA.isNull() && !tileB.isNull());
        QVERIFY(qAbs(Area(tileA) / Area(tileB) - 1100.0 / 50.0) < 0.01 * 22);
        QVERIFY(view.Describe(b).contains(QStringLiteral("/d/b")));
        QVERIFY(view.Describe(b).contains(QStringLiteral("4.3%")));  // 50 of 1155

        QSignalSpy zoomed(&view, &TSizeMap::Zoomed);
        // A click on x (inside a) zooms one level: into a.
        QPointF inX;
        for (const auto& tile : view.Tiles()) {
            if (tile.folder == x)
                inX = tile.rect.center();
        }
        QTest::mouseClick(&view, Qt::LeftButton, {}, inX.toPoint());
        QCOMPARE(view.Root(), a);
        QCOMPARE(zoomed.size(), 1);
        QCOMPARE(view.Tiles().front().folder, a);
        view.ZoomTo(0);
        QCOMPARE(view.Root(), 0);
        QCOMPARE(view.FolderAt(QPointF(-5, -5)), -1);
    }

    void CodecColouringPaintsTheCodecThatTakesMostOfTheMusic() {
        auto map = std::make_shared<TFolderMap>();
        auto withCodec = [](TFileItem item, const char* codec) {
            item.SetField(AudioCodec, codec);
            return item;
        };
        // lossless/ holds more FLAC than MP3 and a larger film; lossy/ MP3 alone; pics/ none.
        for (const TFileItem& item :
             {Item("/d", "directory"), Item("/d/lossless", "directory"),
              withCodec(Item("/d/lossless/a.flac", "file", "900", "flac"), "FLAC"),
              withCodec(Item("/d/lossless/b.mp3", "file", "100", "mp3"), "MP3"),
              Item("/d/lossless/film.mkv", "file", "5000", "mkv"), Item("/d/lossy", "directory"),
              withCodec(Item("/d/lossy/c.mp3", "file", "700", "mp3"), "MP3"),
              Item("/d/pics", "directory"), Item("/d/pics/p.jpg", "file", "2000", "jpg")}) {
            map->Add(item);
        }
        map->Finish();
        const int lossless = IndexOf(*map, "/d/lossless"), lossy = IndexOf(*map, "/d/lossy"),
                  pics = IndexOf(*map, "/d/pics");
        QCOMPARE(SizeMapColourName(TMapColouring::Codec, map->CodecOf(lossless)), "FLAC");
        QCOMPARE(SizeMapColourName(TMapColouring::Codec, map->CodecOf(lossy)), "MP3");
        QCOMPARE(SizeMapColourName(TMapColouring::Codec, map->CodecOf(pics)), "no codec");
        // Summed over the folders: 900 bytes of FLAC against 800 of MP3.
        QCOMPARE(SizeMapColourName(TMapColouring::Codec, map->CodecOf(0)), "FLAC");
        QCOMPARE(SizeMapColourName(TMapColouring::Kind, map->KindOf(lossless)), "video");

        TSizeMap view;
        view.resize(400, 300);
        view.SetMap(map);
        // A point of each folder's tile away from its name, as painted.
        auto colourAt = [&view](int folder) {
            for (const auto& tile : view.Tiles()) {
                if (tile.folder == folder && tile.depth == 1) {
                    const QPointF at =
                        tile.rect.center() + QPointF(tile.rect.width() / 4, tile.rect.height() / 4);
                    return view.grab().toImage().pixel(at.toPoint());
                }
            }
            return QRgb(0);
        };
        QCOMPARE(view.Colouring(), TMapColouring::Kind);
        QCOMPARE(colourAt(lossless),
                 SizeMapColour(TMapColouring::Kind, map->KindOf(lossless), 1).rgb());
        view.SetColouring(TMapColouring::Codec);
        QCOMPARE(colourAt(lossless),
                 SizeMapColour(TMapColouring::Codec, map->CodecOf(lossless), 1).rgb());
        QCOMPARE(colourAt(pics),
                 SizeMapColour(TMapColouring::Codec, TFolderMap::kCodecs - 1, 1).rgb());
        QVERIFY(colourAt(lossless) != colourAt(lossy));
    }

    void MillionFilesLayQuicklyWithinThePixels() {
        auto map = std::make_shared<TFolderMap>();
        map->Add(Item("/m", "directory"));
        TFileItem file = Item("/m", "file", "0", "mp3");
        QElapsedTimer built;
        built.start();
        for (int folder = 0; folder < 10000; ++folder) {
            const std::string path = "/m/f" + std::to_string(folder);
            map->Add(Item(path, "directory"));
            for (int i = 0; i < 100; ++i) {
                file.SetField(FullPath, path + "/" + std::to_string(i) + ".mp3");
                // A hundred large folders, the rest a byte a file: far below a pixel each.
                file.SetField(FileSize, folder < 100 ? std::to_string(1000000 + i) : "1");
                map->Add(file);
            }
        }
        map->Finish();
        QCOMPARE(map->folders[0].items, uint64_t(1010000));
        qInfo("map of 1,000,000 files built in %lld ms", static_cast<long long>(built.elapsed()));

        TSizeMap view;
        view.resize(800, 500);
        view.SetMap(map);
        QElapsedTimer laid;
        laid.start();
        const size_t tiles = view.Tiles().size();
        view.grab();
        const qint64 ms = laid.elapsed();
        qInfo("%zu tiles laid out and painted in %lld ms", tiles, static_cast<long long>(ms));
        // The tiny folders go into their parent's rest instead of a tile each.
        QCOMPARE(tiles, size_t(101));
        QVERIFY2(ms < 500, qPrintable(QString::number(ms)));
    }
};

QTEST_MAIN(TSizeMapTest)
#include "SizeMapTest.moc"
