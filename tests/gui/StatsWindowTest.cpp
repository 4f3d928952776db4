// The statistics window: what its charts, numbers and tag-health list show for hand-made
// catalogs, saving and copying, Cancel, and the ways the main window opens it.
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPieSeries>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QValueAxis>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DialogTestSupport.h"
#include "gui/shell/CatalogModel.h"
#include "gui/stats/SizeMap.h"
#include "gui/stats/StatsCharts.h"
#include "gui/stats/StatsWindow.h"
#include "support/FolderCatalog.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

struct TSong {
    std::string name, size, artist, title, album, genre, track, duration, mismatch = {};
};

// The songs as the shared album catalog takes them.
QByteArray Catalog(const std::vector<TSong>& songs) {
    std::vector<TCatalogFile> files;
    for (const TSong& s : songs) {
        files.push_back({{"FileName", s.name},
                         {"FileSize", s.size},
                         {"MP3_Title", s.title},
                         {"MP3_Artist", s.artist},
                         {"MP3_Album", s.album},
                         {"MP3_Genre", s.genre},
                         {"MP3_Track", s.track},
                         {"AudioDuration", s.duration},
                         {"ID3Mismatch", s.mismatch}});
    }
    return FolderCatalog(files);
}

// Rock/One: three songs of an album missing track 2, one whose two tags disagreed, one without
// a title, a cover.
// Pop/Two: two songs, a film.
void MakeLibrary(const QString& library) {
    WriteFile(library, QStringLiteral("Rock/One.xml"),
              Catalog({{"01.mp3", "1000", "Band", "Help", "Hits", "Rock", "1", "120000"},
                       {"03.mp3", "3000", "Band", "Yes", "Hits", "Rock", "3", "180000", "Album"},
                       {"04.mp3", "2000", "Solo", "", "", "Jazz", "", "60000"},
                       {"cover.jpg", "500", "", "", "", "", "", ""}}));
    WriteFile(library, QStringLiteral("Pop/Two.xml"),
              Catalog({{"x.mp3", "700", "Solo", "Song", "", "Pop", "", "30000"},
                       {"film.mkv", "100000", "", "", "", "", "", ""}}));
}

int TabNamed(const TStatsWindow& window, const QString& name) {
    for (int i = 0; i < window.Tabs()->count(); ++i) {
        if (window.Tabs()->tabText(i) == name) {
            return i;
        }
    }
    return -1;
}

// The categories and values of the bar chart at `index` on a tab.
std::pair<QStringList, QList<qreal>> BarsOf(const TStatsWindow& window, int tab, int index = 0) {
    const auto views = window.Tabs()->widget(tab)->findChildren<QChartView*>();
    if (index >= views.size()) {
        return {};
    }
    auto* series = qobject_cast<QAbstractBarSeries*>(views[index]->chart()->series().value(0));
    if (!series || series->barSets().isEmpty()) {
        return {};
    }
    auto* axis = qobject_cast<QBarCategoryAxis*>(series->attachedAxes().value(0));
    QList<qreal> values;
    for (int i = 0; i < series->barSets()[0]->count(); ++i) {
        values.append(series->barSets()[0]->at(i));
    }
    return {axis ? axis->categories() : QStringList(), values};
}

void WaitDone(const TStatsWindow& window) {
    QTRY_VERIFY_WITH_TIMEOUT(!window.Computing(), 20000);
}

}  // namespace

class TStatsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void APendingCancelOfAnotherOperationIsLeftAlone() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        SetCancelRequested(true);  // as another operation's Cancel, not seen yet
        TStatsWindow window(TSearchScope::Group, base.Library(), base.Library(), prompt, {});
        window.show();
        WaitDone(window);
        const bool kept = CancelRequested();
        SetCancelRequested(false);
        QVERIFY(kept);
        QCOMPARE(BarsOf(window, TabNamed(window, QStringLiteral("Kinds")), 1).second,
                 (QList<qreal>{4, 1, 1}));  // and its own figures are whole
    }

    void FewFilesGetWholeNumberTicks() {
        const auto valueAxis = [](const std::vector<TTally>& tallies) {
            const std::unique_ptr<QChart> chart(
                MakeTallyChart(QStringLiteral("t"), tallies, TTallyMeasure::Files, false));
            const auto axes = chart->axes(Qt::Vertical);
            auto* axis = qobject_cast<QValueAxis*>(axes.value(0));
            return axis ? std::pair<qreal, int>{axis->max(), axis->tickCount()}
                        : std::pair<qreal, int>{-1, -1};
        };
        // One file each: ticks 0, 1 and 2, never 0, 0.25 ... shown rounded as 0, 0, 1.
        QCOMPARE(valueAxis({{"MP3", 1, 0, 0}, {"FLAC", 1, 0, 0}}), (std::pair<qreal, int>{2, 3}));
        QCOMPARE(valueAxis({{"MP3", 7, 0, 0}}).second,
                 int(valueAxis({{"MP3", 7, 0, 0}}).first) + 1);
        // Many files keep the axis's own round steps.
        QVERIFY(valueAxis({{"MP3", 5000, 0, 0}}).first >= 5000);
        QVERIFY(valueAxis({{"MP3", 5000, 0, 0}}).second < 12);
    }

    void ChartsShowTheFiguresOfTheWholeLibrary() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        TStatsWindow window(TSearchScope::Group, base.Library(), base.Library(), prompt, {});
        window.show();
        WaitDone(window);
        QVERIFY(window.findChild<QPushButton*>(QStringLiteral("BtnCancel"))->isHidden());
        QVERIFY(!window.SizeMap());  // a group has no single folder tree

        const int kinds = TabNamed(window, QStringLiteral("Kinds"));
        QVERIFY(kinds >= 0);
        auto* pie = qobject_cast<QPieSeries*>(
            window.Tabs()->widget(kinds)->findChild<QChartView*>()->chart()->series().value(0));
        QVERIFY(pie);
        QCOMPARE(pie->count(), 3);  // music, images, video
        QCOMPARE(pie->slices()[0]->value(), 6700.0);
        QCOMPARE(pie->slices()[2]->value(), 100000.0);
        QCOMPARE(BarsOf(window, kinds, 1).second, (QList<qreal>{4, 1, 1}));
        QCOMPARE(window.NumbersOf(kinds), QStringLiteral("name\tfiles\tbytes\tplaying time (s)\n"
                                                         "music\t4\t6700\t390\n"
                                                         "images\t1\t500\t0\n"
                                                         "video\t1\t100000\t0\n"));

        const auto genres = BarsOf(window, TabNamed(window, QStringLiteral("Genres")));
        // Horizontal bars from the bottom up: the most common genre is the top one.
        QCOMPARE(genres.first, (QStringList{"Pop", "Jazz", "Rock"}));
        QCOMPARE(genres.second, (QList<qreal>{1, 1, 2}));
        // Playing time in hours: Band 300 s, Solo 90 s.
        const auto artists = BarsOf(window, TabNamed(window, QStringLiteral("Artists")));
        QCOMPARE(artists.first, (QStringList{"Solo", "Band"}));
        QCOMPARE(artists.second[0], 90.0 / 3600);
        QCOMPARE(artists.second[1], 300.0 / 3600);

        // Two catalogs side by side: items count the root and album folders too.
        const int catalogs = TabNamed(window, QStringLiteral("Catalogs"));
        QVERIFY(catalogs >= 0);
        const auto items = BarsOf(window, catalogs, 1);
        QCOMPARE(items.first.size(), 2);
        const int one = items.first.indexOf(QStringLiteral("One"));
        QVERIFY(one >= 0);
        QCOMPARE(items.second[one], 6.0);
        QCOMPARE(items.second[1 - one], 4.0);

        QVERIFY(window.findChild<QLabel*>(QStringLiteral("LblSummary"))
                    ->text()
                    .startsWith(QStringLiteral("6 files in 4 folders")));
    }

    void SingleCatalogHasASizeMapAndNoCatalogsTab() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        const QString two = base.Library() + QStringLiteral("/Pop/Two.xml");
        QStringList opened;
        TStatsWindow window(TSearchScope::Catalog, two, base.Library(), prompt,
                            [&](const QString& catalog, const std::string& path) {
                                opened << catalog + QLatin1Char('|') + QString::fromStdString(path);
                            });
        window.show();
        WaitDone(window);
        QCOMPARE(TabNamed(window, QStringLiteral("Size map")), 0);
        TSizeMap* map = window.SizeMap();
        QVERIFY(map);
        QCOMPARE(window.NumbersOf(0), QStringLiteral("folder\tbytes\titems\n/m/a\t100700\t3\n"));
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("LblBreadcrumb"))
                    ->text()
                    .contains(QStringLiteral(">/m</a>")));
        // Clicking the album folder zooms in; the breadcrumb names both; a double click shows it.
        const QPoint album = map->Tiles().back().rect.center().toPoint();
        QTest::mouseClick(map, Qt::LeftButton, {}, album);
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("LblBreadcrumb"))
                    ->text()
                    .contains(QStringLiteral(">a</a>")));
        QTest::mouseDClick(map, Qt::LeftButton, {}, album);
        QCOMPARE(opened, QStringList{two + QStringLiteral("|/m/a")});

        // Coloured by codec instead, the key names the codecs.
        auto* key = window.findChild<QLabel*>(QStringLiteral("LblMapKey"));
        QVERIFY(key->text().contains(QStringLiteral("images")));
        window.findChild<QComboBox*>(QStringLiteral("CmbMapColour"))->setCurrentIndex(1);
        QCOMPARE(map->Colouring(), TMapColouring::Codec);
        QVERIFY(key->text().contains(QStringLiteral("FLAC")));
        QVERIFY(key->text().contains(QStringLiteral("no codec")));
        QVERIFY(!key->text().contains(QStringLiteral("images")));

        // The map saves as a drawing too, the breadcrumb as text.
        const QString svg = base.Path() + QStringLiteral("/map.svg");
        QVERIFY(window.SavePicture(0, svg));
        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray drawing = file.readAll();
        QVERIFY(drawing.contains("<svg"));
        QVERIFY(drawing.contains(">a<"));

        QCOMPARE(window.Figures().files, 2u);
        QCOMPARE(TabNamed(window, QStringLiteral("Catalogs")), -1);
        QCOMPARE(BarsOf(window, TabNamed(window, QStringLiteral("Genres"))).first,
                 QStringList{"Pop"});
    }

    void HealthRowsOpenTheirItem() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        QStringList opened;
        TStatsWindow window(TSearchScope::Group, base.Library(), base.Library(), prompt,
                            [&](const QString& catalog, const std::string& path) {
                                opened << catalog + QLatin1Char('|') + QString::fromStdString(path);
                            });
        window.show();
        WaitDone(window);
        const QString counts = window.findChild<QLabel*>(QStringLiteral("LblHealthCounts"))->text();
        QVERIFY2(counts.contains(QStringLiteral("no title or artist: 1")), qPrintable(counts));
        QVERIFY2(counts.contains(QStringLiteral("track numbers with gaps: 1")), qPrintable(counts));
        QVERIFY2(counts.contains(QStringLiteral("ID3v1 and ID3v2 disagree: 1")),
                 qPrintable(counts));
        QTableWidget* table = window.HealthTable();
        QCOMPARE(table->rowCount(), 3);
        int missing = -1, disagree = -1;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == QStringLiteral("no title or artist")) {
                missing = row;
            }
            if (table->item(row, 0)->text() == QStringLiteral("ID3v1 and ID3v2 disagree")) {
                disagree = row;
            }
        }
        QVERIFY(missing >= 0);
        QCOMPARE(table->item(missing, 1)->text(), QStringLiteral("/m/a/04.mp3"));
        QVERIFY(disagree >= 0);
        QCOMPARE(table->item(disagree, 1)->text(), QStringLiteral("/m/a/03.mp3"));
        QCOMPARE(table->item(disagree, 2)->text(), QStringLiteral("Album"));

        window.Tabs()->setCurrentIndex(TabNamed(window, QStringLiteral("Tag health")));
        table->setFocus();
        table->setCurrentCell(missing, 1);
        QTest::keyClick(table, Qt::Key_Return);
        QCOMPARE(opened, QStringList{base.Library() + QStringLiteral("/Rock/One.xml|/m/a/04.mp3")});
    }

    void SavesPicturesAndCopiesNumbers() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        TStatsWindow window(TSearchScope::Group, base.Library(), base.Library(), prompt, {});
        window.show();
        WaitDone(window);
        const int decades = TabNamed(window, QStringLiteral("Decades"));
        window.Tabs()->setCurrentIndex(decades);
        QWidget* page = window.Tabs()->widget(decades);

        const QString png = base.Path() + QStringLiteral("/decades.png");
        prompt.fileAnswers.push_back(png);
        page->findChild<QPushButton*>(QStringLiteral("BtnSavePng"))->click();
        const QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 100 && image.height() > 100);

        // A page not shown yet is laid out before it is drawn.
        const QString svg = base.Path() + QStringLiteral("/genres.svg");
        QVERIFY(window.SavePicture(TabNamed(window, QStringLiteral("Genres")), svg));
        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("<svg"));
        QVERIFY(text.contains("Music files by genre"));

        page->findChild<QPushButton*>(QStringLiteral("BtnCopy"))->click();
        QCOMPARE(QApplication::clipboard()->text(), window.NumbersOf(decades));
        QVERIFY(window.NumbersOf(decades).contains(QStringLiteral("unknown\t4\t")));
    }

    void CancelStopsWithoutFigures() {
        TFreshBase base;
        for (int i = 0; i < 300; ++i) {
            WriteFile(base.Library(), QStringLiteral("Many/C%1.xml").arg(i),
                      Catalog({{"x.mp3", "700", "Solo", "Song", "", "Pop", "", "30000"}}));
        }
        TScriptedPrompt prompt;
        TStatsWindow window(TSearchScope::Group, base.Library(), base.Library(), prompt, {});
        window.findChild<QPushButton*>(QStringLiteral("BtnCancel"))->click();
        WaitDone(window);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("LblStatus"))->text(),
                 QStringLiteral("Cancelled."));
        QCOMPARE(window.Tabs()->count(), 0);
        QCOMPARE(window.Figures().files, 0u);
    }

    void MainWindowOpensItForTheOpenCatalogAndShowsRows() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        const QString one = base.Library() + QStringLiteral("/Rock/One.xml");
        main->OpenCatalog(one);
        main->findChild<QToolButton*>(QStringLiteral("BtnStats"))->click();
        auto* window = main->findChild<TStatsWindow*>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        WaitDone(*window);
        QCOMPARE(window->Figures().catalogs.size(), size_t(1));
        QCOMPARE(window->Figures().files, 4u);

        // A row opens its catalog in the main window with the item focused, from another one.
        main->OpenCatalog(base.Library() + QStringLiteral("/Pop/Two.xml"));
        QTableWidget* table = window->HealthTable();
        int gap = 0;
        while (gap < table->rowCount() &&
               table->item(gap, 0)->text() != QStringLiteral("track numbers with gaps")) {
            ++gap;
        }
        QVERIFY(gap < table->rowCount());
        table->setCurrentCell(gap, 0);
        emit table->activated(table->currentIndex());
        QCOMPARE(main->CurrentCatalog, one);
        const QModelIndex current =
            main->findChild<QTreeView*>(QStringLiteral("VT"))->currentIndex();
        QVERIFY(current.isValid());
        QCOMPARE(TCatalogModel::NodeOf(current)->Item().Field(FileName), "01.mp3");
        window->close();
    }

    void LibraryMenuOpensItForAGroup() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        TLibraryView* view = main->FrmCatTree()->VTLib();
        TCatalogNode* rock = FindNode(*main->FrmCatTree(), QStringLiteral("Rock"));
        QVERIFY(rock);
        const QRect row = view->visualRect(main->FrmCatTree()->Model()->IndexOf(rock));
        emit view->customContextMenuRequested(row.center());
        auto* menu = main->findChild<QMenu*>(QStringLiteral("MenuLibrary"));
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        menu->findChild<QAction*>(QStringLiteral("ActionLibraryStatistics"))->trigger();
        menu->hide();
        auto* window = main->findChild<TStatsWindow*>();
        QVERIFY(window);
        WaitDone(*window);
        QCOMPARE(window->Figures().catalogs.size(), size_t(1));
        QCOMPARE(window->Figures().files, 4u);  // One.xml only, not Pop's
        QVERIFY(!window->SizeMap());
    }
};

QTEST_MAIN(TStatsWindowTest)
#include "StatsWindowTest.moc"
