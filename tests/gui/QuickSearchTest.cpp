// The tool bar's search box: hits as the user types, the same as the full search's, the
// newest text only, the group scope, catalogs changed on disk, the box under a long operation,
// and the index brought up to date in the background.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSemaphore>
#include <atomic>

#include "DialogTestSupport.h"
#include "gui/shell/WaitForm.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

constexpr int kPatienceMs = 30000;

// How many catalog copies the index of the test's cache folder holds.
qsizetype CopiesIn(TFreshBase& base) {
    return QDir(base.Cache() + QStringLiteral("/melodrix/search-index"))
        .entryList({QStringLiteral("*.copy")}, QDir::Files)
        .size();
}

// Whether the window's index upkeep has nothing running or waiting.
bool Surveyed(TFMMain& main) {
    const TIndexUpkeep::TState state = main.IndexUpkeep().State();
    return !state.running && !state.pending;
}

// Holds the first quick search after its first catalog, until Release.
class THeldFirstSearch {
public:
    explicit THeldFirstSearch(TQuickSearch& searcher) {
        searcher.AfterCatalog = [this] {
            if (!held_.exchange(true)) {
                reached_.release();
                proceed_.acquire();
            }
        };
    }
    bool Reached() {
        return QTest::qWaitFor([&] { return reached_.tryAcquire(); }, kPatienceMs);
    }
    void Release() { proceed_.release(); }

private:
    QSemaphore reached_;
    QSemaphore proceed_;
    std::atomic<bool> held_{false};
};

// Rock/Mix.xml, Rock/Old/Jazz.xml and Pop/Hits.xml.
void MakeLibrary(const QString& library) {
    WriteFile(library, QStringLiteral("Rock/Mix.xml"),
              CatalogWithItems(QStringLiteral("Mix"),
                               {{QStringLiteral("Rock.mp3"), QStringLiteral("mp3"), {}},
                                {QStringLiteral("Hard Rock"), {}, {}, QStringLiteral("directory")},
                                {QStringLiteral("ROCK"), {}, {}, QStringLiteral("directory")},
                                {QStringLiteral("rock.mp3"), QStringLiteral("Mp3"), {}},
                                {QStringLiteral("Hardrock"), QStringLiteral("MP3"), {}},
                                {QStringLiteral("intro.wav"), QStringLiteral("wav"), {}}}));
    WriteFile(library, QStringLiteral("Rock/Old/Jazz.xml"),
              CatalogWithItems(QStringLiteral("Jazz"),
                               {{QStringLiteral("Song.MP3"), QStringLiteral("MP3"), {}},
                                {QStringLiteral("my song.mp3"), QStringLiteral("mp3"), {}}}));
    WriteFile(library, QStringLiteral("Pop/Hits.xml"),
              CatalogWithItems(
                  QStringLiteral("Hits"),
                  {{QStringLiteral("a.mp3"), QStringLiteral("mp3"), QStringLiteral("Live at home")},
                   {QStringLiteral("b.mp3"), QStringLiteral("mp3"), {}},
                   {QStringLiteral("songbird.mp3"), QStringLiteral("mp3"), {}},
                   {QStringLiteral("two  blanks"), QStringLiteral("txt"), {}}}));
}

// Every hit the view shows, in order: its catalog and all its fields.
QStringList Shown(TFMMain& main) {
    QStringList hits;
    const TCatalogTree& tree = main.ContentTree();
    for (int row = 0; row < tree.TopLevelCount(); ++row) {
        const TCatalogNode* node = tree.TopLevel(row);
        QStringList fields{tree.SourceCatalog(node)};
        for (int field = 0; field < FieldCount; ++field) {
            fields << Text(node, field);
        }
        hits << fields.join(QLatin1Char('|'));
    }
    return hits;
}

QStringList ShownNames(TFMMain& main) {
    QStringList names = TopLevelNames(main.ContentTree());
    names.sort();
    return names;
}

// Types into the box, replacing what it holds, and waits until the hits are all shown.
bool TypeAndWait(TFMMain& main, const QString& text) {
    QLineEdit* box = main.QuickSearchBox();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
    return QTest::qWaitFor([&] { return main.QuickSearchIdle(); }, kPatienceMs);
}

// The full search of the box's text, as Enter runs it.
QStringList EnterHits(TFMMain& main) {
    QTest::keyClick(main.QuickSearchBox(), Qt::Key_Return);
    return Shown(main);
}

bool ChooseScope(TFMMain& main, const QString& name) {
    const int index = main.QuickSearchScope()->findText(name);
    if (index < 0) {
        return false;
    }
    main.QuickSearchScope()->setCurrentIndex(index);
    return true;
}

QStringList Scopes(const TFMMain& main) {
    QStringList names;
    for (int i = 0; i < main.QuickSearchScope()->count(); ++i) {
        names << main.QuickSearchScope()->itemText(i);
    }
    return names;
}

}  // namespace

class TQuickSearchTest : public QObject {
    Q_OBJECT

private slots:
    void typedTextShowsTheFullSearchsHits() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QCOMPARE(main->QuickSearchBox()->placeholderText(), QStringLiteral("Search the library"));
        QCOMPARE(main->QuickSearchScope()->currentText(), QStringLiteral("Whole library"));
        // A catalog is open: the hits take its place.
        main->OpenCatalog(base.Library() + QStringLiteral("/Pop/Hits.xml"));
        QVERIFY(!main->CurrentCatalog.isEmpty());

        QVERIFY(TypeAndWait(*main, QStringLiteral("rock")));
        QVERIFY(main->ShowsQuickHits());
        QVERIFY(main->CurrentCatalog.isEmpty());
        QCOMPARE(ShownNames(*main),
                 (QStringList{"Hard Rock", "Hardrock", "ROCK", "Rock.mp3", "rock.mp3"}));
        QCOMPARE(main->ContentPanel()->text(), QStringLiteral("5 hits"));
        const QStringList typed = Shown(*main);
        QVERIFY(typed.first().startsWith(base.Library() + QStringLiteral("/Rock/Mix.xml|")));
        QCOMPARE(EnterHits(*main), typed);
        QVERIFY(!main->ShowsQuickHits());

        // Hits of other catalogs come in the order the full search gives them.
        QVERIFY(TypeAndWait(*main, QStringLiteral("o")));
        const QStringList many = Shown(*main);
        QCOMPARE(many.size(), 10);
        QCOMPARE(EnterHits(*main), many);

        // The view keeps at most so many; the rest are counted, and Enter shows them all.
        main->QuickHitsShownAtMost = 4;
        QVERIFY(TypeAndWait(*main, QStringLiteral("o")));
        QCOMPARE(Shown(*main), many.mid(0, 4));
        QCOMPARE(main->ContentPanel()->text(),
                 QStringLiteral("4 of 10 hits shown; Enter shows all"));
        QCOMPARE(EnterHits(*main), many);
        main->QuickHitsShownAtMost = 10000;

        QVERIFY(TypeAndWait(*main, QStringLiteral("nothing like it")));
        QVERIFY(main->ShowsQuickHits());
        QCOMPARE(main->ContentTree().TopLevelCount(), 0);
        QCOMPARE(main->ContentPanel()->text(), QStringLiteral("0 hits"));

        // Emptying the box empties the view of the quick hits.
        QVERIFY(TypeAndWait(*main, QStringLiteral("song")));
        QCOMPARE(ShownNames(*main), (QStringList{"Song.MP3", "my song.mp3", "songbird.mp3"}));
        QTest::keyClick(main->QuickSearchBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(main->QuickSearchBox(), Qt::Key_Backspace);
        QVERIFY(main->ContentTree().IsEmpty());
        QVERIFY(!main->ShowsQuickHits());
        QVERIFY(main->QuickSearchIdle());
    }

    void aKeyTypedDuringASearchCancelsIt() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        // The first search is held after its first catalog until the next key is typed.
        THeldFirstSearch held(main->QuickSearcher());
        QTest::keyClicks(main->QuickSearchBox(), QStringLiteral("song"));
        QVERIFY(held.Reached());
        QTest::keyClicks(main->QuickSearchBox(), QStringLiteral("b"));
        held.Release();
        QVERIFY(QTest::qWaitFor([&] { return main->QuickSearchIdle(); }, kPatienceMs));

        QCOMPARE(main->QuickSearcher().CancelledCount(), uint64_t(1));
        QCOMPARE(main->QuickSearcher().Finished(), uint64_t(2));
        QCOMPARE(ShownNames(*main), QStringList{"songbird.mp3"});
        QCOMPARE(EnterHits(*main).size(), 1);
    }

    void groupScopeLimitsTheHits() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QVERIFY(QTest::qWaitFor([&] { return Scopes(*main).size() == 4; }, kPatienceMs));
        QCOMPARE(Scopes(*main), (QStringList{"Whole library", "Pop", "Rock", "Rock/Old"}));

        QVERIFY(TypeAndWait(*main, QStringLiteral("mp3")));
        QCOMPARE(main->ContentTree().TopLevelCount(), 7);
        QVERIFY(ChooseScope(*main, QStringLiteral("Rock")));
        QVERIFY(QTest::qWaitFor([&] { return main->QuickSearchIdle(); }, kPatienceMs));
        QCOMPARE(ShownNames(*main),
                 (QStringList{"Rock.mp3", "Song.MP3", "my song.mp3", "rock.mp3"}));
        const QStringList rock = Shown(*main);
        QCOMPARE(EnterHits(*main), rock);
        QVERIFY(ChooseScope(*main, QStringLiteral("Rock/Old")));
        QVERIFY(QTest::qWaitFor([&] { return main->QuickSearchIdle(); }, kPatienceMs));
        QCOMPARE(ShownNames(*main), (QStringList{"Song.MP3", "my song.mp3"}));

        // The list follows the library: a new group appears, a group gone falls back to the
        // whole library, searched at once.
        WriteFile(base.Library(), QStringLiteral("Jazz/Live.xml"),
                  CatalogWithItems(QStringLiteral("Live"),
                                   {{QStringLiteral("live.mp3"), QStringLiteral("mp3"), {}}}));
        QVERIFY(QTest::qWaitFor(
            [&] {
                main->FollowDisk();
                return Scopes(*main).contains(QStringLiteral("Jazz"));
            },
            kPatienceMs));
        QCOMPARE(main->QuickSearchScope()->currentText(), QStringLiteral("Rock/Old"));
        QVERIFY(QDir(base.Library() + QStringLiteral("/Rock/Old")).removeRecursively());
        QVERIFY(QTest::qWaitFor(
            [&] {
                main->FollowDisk();
                return !Scopes(*main).contains(QStringLiteral("Rock/Old"));
            },
            kPatienceMs));
        QCOMPARE(main->QuickSearchScope()->currentText(), QStringLiteral("Whole library"));
        QVERIFY(QTest::qWaitFor([&] { return main->QuickSearchIdle(); }, kPatienceMs));
        QCOMPARE(main->ContentTree().TopLevelCount(), 6);  // 7, less two gone, one new
    }

    void aCatalogChangedOnDiskGivesNoStaleHit() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QVERIFY(TypeAndWait(*main, QStringLiteral("song.")));
        QCOMPARE(ShownNames(*main), (QStringList{"Song.MP3", "my song.mp3"}));
        QCOMPARE(Text(FindNode(main->ContentTree(), QStringLiteral("Song.MP3")), Description),
                 QString());

        // Another program describes the item.
        QProcess cli;
        cli.start(QStringLiteral(MELODRIX_CLI_PATH),
                  {QStringLiteral("--library"), base.Library(), QStringLiteral("describe"),
                   QStringLiteral("Rock/Old/Jazz"), QStringLiteral("/m/Jazz/Song.MP3"),
                   QStringLiteral("Live take")});
        QVERIFY(cli.waitForFinished(kPatienceMs));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(TypeAndWait(*main, QStringLiteral("song.")));
        QCOMPARE(Text(FindNode(main->ContentTree(), QStringLiteral("Song.MP3")), Description),
                 QStringLiteral("Live take"));

        // This program rewrites a catalog: the old name is gone, the new one found.
        WriteFile(base.Library(), QStringLiteral("Rock/Old/Jazz.xml"),
                  CatalogWithItems(QStringLiteral("Jazz"),
                                   {{QStringLiteral("Tune.MP3"), QStringLiteral("MP3"), {}},
                                    {QStringLiteral("my song, live.mp3"), {}, {}}}));
        QVERIFY(TypeAndWait(*main, QStringLiteral("song")));
        QCOMPARE(ShownNames(*main), (QStringList{"my song, live.mp3", "songbird.mp3"}));
        QCOMPARE(Shown(*main), EnterHits(*main));
    }

    void theBoxIsInertWhileALongOperationRuns() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        TWaitForm* wait = main->WaitForm();

        wait->ShowProgress(true, true);
        QTest::keyClicks(main->QuickSearchBox(), QStringLiteral("rock"));
        QCOMPARE(main->QuickSearchBox()->text(), QString());
        wait->ShowProgress(false, false);

        // Typed just before: the search waits for the operation to end.
        QTest::keyClicks(main->QuickSearchBox(), QStringLiteral("rock"));
        wait->ShowProgress(true, true);
        QTest::qWait(600);
        QCOMPARE(main->QuickSearcher().Newest(), uint64_t(0));
        QVERIFY(!main->ShowsQuickHits());
        wait->ShowProgress(false, false);
        QVERIFY(QTest::qWaitFor([&] { return main->QuickSearchIdle(); }, kPatienceMs));
        QCOMPARE(main->ContentTree().TopLevelCount(), 5);

        // Hits that come while an operation runs wait for its end.
        THeldFirstSearch held(main->QuickSearcher());
        QTest::keyClicks(main->QuickSearchBox(), QStringLiteral(".mp3"));
        QVERIFY(held.Reached());
        wait->ShowProgress(true, true);
        const QStringList before = Shown(*main);
        held.Release();
        QTest::qWait(600);
        QCOMPARE(Shown(*main), before);
        QVERIFY(!main->QuickSearchIdle());
        wait->ShowProgress(false, false);
        QVERIFY(QTest::qWaitFor([&] { return main->QuickSearchIdle(); }, kPatienceMs));
        QCOMPARE(ShownNames(*main), (QStringList{"Rock.mp3", "rock.mp3"}));
    }

    void aSearchForgottenWhileItsHitsWaitLetsTheNextOneRun() {
        TFreshBase base;
        MakeLibrary(base.Library());
        for (int i = 0; i < 8; ++i) {
            WriteFile(base.Library(), QStringLiteral("More/Disk %1.xml").arg(i),
                      CatalogWithItems(QStringLiteral("Disk%1").arg(i),
                                       {{QStringLiteral("song %1.mp3").arg(i), {}, {}}}));
        }
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        // While an operation runs the view takes no hits, so they pile up and the worker
        // waits to hand more over; then the operation opens a catalog.
        QSemaphore reached;
        QSemaphore proceed;
        std::atomic<int> catalogs{0};
        main->QuickSearcher().AfterCatalog = [&] {
            if (catalogs++ == 0) {
                reached.release();
                proceed.acquire();
            }
        };
        QTest::keyClicks(main->QuickSearchBox(), QStringLiteral("song"));
        QVERIFY(QTest::qWaitFor([&] { return reached.tryAcquire(); }, kPatienceMs));
        main->WaitForm()->ShowProgress(true, true);
        proceed.release();
        QVERIFY(QTest::qWaitFor([&] { return catalogs >= 4; }, kPatienceMs));
        QTest::qWait(300);
        main->OpenCatalog(base.Library() + QStringLiteral("/Pop/Hits.xml"));
        QVERIFY(!main->ShowsQuickHits());
        main->WaitForm()->ShowProgress(false, false);

        QVERIFY(TypeAndWait(*main, QStringLiteral("song 1")));
        QCOMPARE(ShownNames(*main), QStringList{"song 1.mp3"});
    }

    void theSurveyGivesWayToAQuickSearch() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        const auto copies = [&] { return CopiesIn(base); };
        const auto surveyed = [&] { return Surveyed(*main); };
        QVERIFY(QTest::qWaitFor([&] { return copies() == 3 && surveyed(); }, kPatienceMs));

        THeldFirstSearch held(main->QuickSearcher());
        QTest::keyClicks(main->QuickSearchBox(), QStringLiteral("rock"));
        QVERIFY(held.Reached());
        // The library changes while the search runs: the survey asked for waits for it.
        WriteFile(base.Library(), QStringLiteral("Pop/More.xml"),
                  CatalogWithItems(QStringLiteral("More"),
                                   {{QStringLiteral("more.mp3"), QStringLiteral("mp3"), {}}}));
        QVERIFY(QTest::qWaitFor(
            [&] {
                main->FollowDisk();
                return main->IndexUpkeep().State().pending;
            },
            kPatienceMs));
        QTest::qWait(500);
        QVERIFY(!main->IndexUpkeep().State().running);
        QCOMPARE(copies(), 3);
        held.Release();
        QVERIFY(QTest::qWaitFor([&] { return main->QuickSearchIdle(); }, kPatienceMs));
        QVERIFY(QTest::qWaitFor([&] { return copies() == 4 && surveyed(); }, kPatienceMs));
    }

    void theIndexIsBroughtUpToDateInTheBackground() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        const auto copies = [&] { return CopiesIn(base); };
        QVERIFY(QTest::qWaitFor([&] { return copies() == 3 && Surveyed(*main); }, kPatienceMs));
        QVERIFY(QTest::qWaitFor([&] { return main->IndexPanel()->isHidden(); }, kPatienceMs));

        // A catalog added is surveyed too.
        WriteFile(base.Library(), QStringLiteral("Pop/More.xml"),
                  CatalogWithItems(QStringLiteral("More"),
                                   {{QStringLiteral("more.mp3"), QStringLiteral("mp3"), {}}}));
        QVERIFY(QTest::qWaitFor(
            [&] {
                main->FollowDisk();
                return copies() == 4;
            },
            kPatienceMs));
    }
};

QTEST_MAIN(TQuickSearchTest)
#include "QuickSearchTest.moc"
