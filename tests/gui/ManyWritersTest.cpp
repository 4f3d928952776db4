// The window shares its catalogs with other writers (a shell, a second window, an update) and
// with its own search hits: no edit is lost, and each goes to the catalog it belongs to.
#include <QDir>
#include <QFile>
#include <memory>
#include <pugixml.hpp>

#include "GuiTestSupport.h"
#include "SecondWriterSupport.h"
#include "core/base/Errors.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/engine/FileInfo.h"
#include "core/scan/ItemEdits.h"
#include "core/search/Duplicates.h"
#include "gui/library/UpdatePreviewDialog.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/MainWindow.h"
#include "support/ScriptedSinks.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

bool FileHolds(const QString& catalog, const std::string& path) {
    TFileInfo engine;
    TCatalogTree tree;
    engine.OpenCatalogTree(catalog, tree);
    return FindItem(tree, {path, 0}) != nullptr;
}

}  // namespace

class TManyWritersTest : public QObject {
    Q_OBJECT

private slots:
    void anEditInTheWindowKeepsWhatTheShellSaved() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        main->OpenCatalog(rock);

        DescribeFromShell(rock, "/d/Music/b.MP3", "CLI note");
        TCatalogNode* edited = main->EditItemField(FindNode(main->ContentTree(), "c.txt"),
                                                   Description, QStringLiteral("window note"));
        QCOMPARE(prompt.messages, QStringList());
        QCOMPARE(DescriptionInFile(rock, "/d/Music/b.MP3"), QStringLiteral("CLI note"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/c.txt"), QStringLiteral("window note"));
        // The window shows the catalog as it is now, and hands back the edited item's node.
        QVERIFY(edited);
        QCOMPARE(Text(edited, FullPath), QStringLiteral("/d/Music/c.txt"));
        QCOMPARE(Text(FindNode(main->ContentTree(), "b.MP3"), Description),
                 QStringLiteral("CLI note"));
        QCOMPARE(main->ContentTree().FileStamp(), FileStampOf(rock));

        // A rename after another change: the renamed item and its descendants in the new file.
        DescribeFromShell(rock, "/d/Music/c.txt", "second CLI note");
        TCatalogNode* renamed = main->EditItemField(FindNode(main->ContentTree(), "Live"), FileName,
                                                    QStringLiteral("Concerts"));
        QVERIFY(renamed);
        QCOMPARE(Text(renamed, FullPath), QStringLiteral("/d/Music/Concerts"));
        QVERIFY(FileHolds(rock, "/d/Music/Concerts/a.mp3"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/c.txt"), QStringLiteral("second CLI note"));
    }

    void twoWindowsKeepEachOthersEdits() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        TScriptedPrompt promptA, promptB;
        auto a = StartMain(promptA);
        auto b = StartMain(promptB);
        a->OpenCatalog(rock);
        b->OpenCatalog(rock);
        a->EditItemField(FindNode(a->ContentTree(), "c.txt"), Description, QStringLiteral("A1"));
        b->EditItemField(FindNode(b->ContentTree(), "b.MP3"), Description, QStringLiteral("B1"));
        a->EditItemField(FindNode(a->ContentTree(), "a.mp3"), Description, QStringLiteral("A2"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/c.txt"), QStringLiteral("A1"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/b.MP3"), QStringLiteral("B1"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/Live/a.mp3"), QStringLiteral("A2"));
        QCOMPARE(promptA.messages + promptB.messages, QStringList());
    }

    void anEditThatCouldNotBeSavedGoesWithTheNextSave() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        TRecordingProgress progress;
        main->UseProgress(progress);
        main->OpenCatalog(rock);
        {
            // Another program holds the catalog; the user gives up waiting.
            const TCatalogLock held(rock, SilentProgress());
            progress.cancelAfterInputs = 1;
            TCatalogNode* notes = FindNode(main->ContentTree(), "c.txt");
            QCOMPARE(main->EditItemField(notes, Description, QStringLiteral("waited")), notes);
            QCOMPARE(Text(notes, Description), QStringLiteral("waited"));
            QVERIFY(progress.texts.contains(kWaitingForCatalog.arg(rock)));
            QCOMPARE(prompt.titles, QStringList{QStringLiteral("Warning")});
            progress.cancelAfterInputs = -1;
            SetCancelRequested(false);
        }
        QCOMPARE(DescriptionInFile(rock, "/d/Music/c.txt"), QStringLiteral("notes"));
        DescribeFromShell(rock, "/d/Music/b.MP3", "CLI note");
        main->EditItemField(FindNode(main->ContentTree(), "a.mp3"), Description,
                            QStringLiteral("later"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/c.txt"), QStringLiteral("waited"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/b.MP3"), QStringLiteral("CLI note"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/Live/a.mp3"), QStringLiteral("later"));
    }

    void anEditOfAHitGoesToTheHitsOwnCatalog() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        const QString jazz = WriteFile(base.Library(), QStringLiteral("Mp3/Old/jazz.xml"),
                                       SampleCatalog(QStringLiteral("/e/Jazz")));
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        TFileItem conditions;
        ClearFileItem(conditions);
        conditions.SetField(FileName, "a.mp3");
        conditions.SetField(FullPath, base.Library().toStdString());
        main->FileInfo->Search(TSearchScope::Group, main->ContentTree(), conditions, false, false);
        main->CurrentCatalog.clear();
        QCOMPARE(main->ContentTree().TopLevelCount(), 2);
        TCatalogNode* jazzHit = nullptr;
        for (int i = 0; i < 2; ++i) {
            TCatalogNode* hit = main->ContentTree().TopLevel(i);
            QCOMPARE(main->ContentTree().SourceCatalog(hit),
                     Text(hit, FullPath).startsWith(QStringLiteral("/e/")) ? jazz : rock);
            if (Text(hit, FullPath).startsWith(QStringLiteral("/e/"))) {
                jazzHit = hit;
            }
        }
        QVERIFY(jazzHit);
        const QByteArray rockBefore = ReadFile(rock);

        QCOMPARE(main->EditItemField(jazzHit, Description, QStringLiteral("hit note")), jazzHit);
        QCOMPARE(DescriptionInFile(jazz, "/e/Jazz/Live/a.mp3"), QStringLiteral("hit note"));
        QCOMPARE(Text(jazzHit, Description), QStringLiteral("hit note"));
        QCOMPARE(ReadFile(rock), rockBefore);
        QVERIFY(prompt.fileQuestions.empty());
        // A rename takes the item's place in its catalog into account, not the flat list's.
        main->EditItemField(jazzHit, FileName, QStringLiteral("z.mp3"));
        QCOMPARE(Text(jazzHit, FullPath), QStringLiteral("/e/Jazz/Live/z.mp3"));
        QCOMPARE(DescriptionInFile(jazz, "/e/Jazz/Live/z.mp3"), QStringLiteral("hit note"));
        QVERIFY(prompt.fileQuestions.empty());
        QCOMPARE(prompt.messages, QStringList());

        // The item is removed from its catalog by someone else: a Warning, nothing written.
        TFileInfo shell;
        ChangeCatalogFile(shell.Progress(), jazz, [](TCatalogTree& tree, bool) {
            tree.DeleteNode(FindItem(tree, {"/e/Jazz/Live/z.mp3", 0}));
        });
        const QByteArray jazzBefore = ReadFile(jazz);
        main->EditItemField(jazzHit, Description, QStringLiteral("too late"));
        QCOMPARE(prompt.titles, QStringList{QStringLiteral("Warning")});
        QVERIFY(prompt.messages.value(0).contains(QStringLiteral("/e/Jazz/Live/z.mp3")));
        QCOMPARE(ReadFile(jazz), jazzBefore);

        // "Show in catalog" opens the hit's catalog with its item focused.
        TCatalogNode* rockHit = main->ContentTree().TopLevel(0) == jazzHit
                                    ? main->ContentTree().TopLevel(1)
                                    : main->ContentTree().TopLevel(0);
        main->ShowHitInCatalog(rockHit);
        QCOMPARE(main->CurrentCatalog, rock);
        const TCatalogNode* focused = TCatalogModel::NodeOf(main->VT()->currentIndex());
        QVERIFY(focused);
        QCOMPARE(Text(focused, FullPath), QStringLiteral("/d/Music/Live/a.mp3"));
    }

    void duplicateHitsKnowTheirCatalogs() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        const QString copy = WriteFile(base.Library(), QStringLiteral("Mp3/copy.xml"),
                                       SampleCatalog(QStringLiteral("/e/Copy")));
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        main->FileInfo->FindDuplicates(TSearchScope::Group, base.Library(), TDuplicateKey::NameSize,
                                       main->ContentTree());
        main->CurrentCatalog.clear();
        QCOMPARE(main->ContentTree().TopLevelCount(), 6);
        for (int i = 0; i < 6; ++i) {
            const TCatalogNode* hit = main->ContentTree().TopLevel(i);
            QCOMPARE(main->ContentTree().SourceCatalog(hit),
                     Text(hit, FullPath).startsWith(QStringLiteral("/e/")) ? copy : rock);
        }
        TCatalogNode* first = main->ContentTree().TopLevel(0);
        const std::string path = Text(first, FullPath).toStdString();
        main->EditItemField(first, Description, QStringLiteral("the keeper"));
        QCOMPARE(DescriptionInFile(main->ContentTree().SourceCatalog(first), path),
                 QStringLiteral("the keeper"));
    }

    void updateApplyShowsTheUpdatedCatalogAndKeepsWhatWasTypedMeanwhile() {
        TFreshBase base;
        const QString music = base.Path() + QStringLiteral("/music");
        const QString catalog = base.Library() + QStringLiteral("/Disk.xml");
        WriteFile(music, QStringLiteral("a/one.mp3"), QByteArray(40, 'x'));
        WriteFile(music, QStringLiteral("a/two.mp3"), QByteArray(60, 'x'));
        QVERIFY(QDir().mkpath(base.Library()));
        {
            TFileInfo engine;
            TCatalogTree tree;
            engine.ScanFolder(tree, music, QStringLiteral("\\.MP3\\"), false, catalog);
            ReplaceCatalogFile(engine.Progress(), catalog, tree);
        }
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        main->OpenCatalog(catalog);
        QVERIFY(QFile::remove(music + QStringLiteral("/a/one.mp3")));
        WriteFile(music, QStringLiteral("a/three.mp3"), QByteArray(10, 'x'));
        const std::string one = (music + QStringLiteral("/a/one.mp3")).toStdString();
        const std::string two = (music + QStringLiteral("/a/two.mp3")).toStdString();
        const std::string three = (music + QStringLiteral("/a/three.mp3")).toStdString();

        main->AskUpdateFolder = [](const QString& stored) { return stored; };
        main->ShowUpdatePreview = [&](TFMUpdatePreview&) {
            // While the preview is open, the shell describes a song.
            DescribeFromShell(catalog, two, "typed meanwhile");
            return true;
        };
        main->UpdateCatalogCommand(catalog);
        QCOMPARE(prompt.messages, QStringList());
        QVERIFY(FileHolds(catalog, three));
        QVERIFY(!FileHolds(catalog, one));
        QCOMPARE(DescriptionInFile(catalog, two), QStringLiteral("typed meanwhile"));
        // The view shows the catalog as saved, so the next edit keeps the update.
        QVERIFY(FindItem(main->ContentTree(), {three, 0}));
        QVERIFY(!FindItem(main->ContentTree(), {one, 0}));
        main->EditItemField(FindItem(main->ContentTree(), {three, 0}), Description,
                            QStringLiteral("new song"));
        QVERIFY(!FileHolds(catalog, one));
        QCOMPARE(DescriptionInFile(catalog, three), QStringLiteral("new song"));
        QCOMPARE(DescriptionInFile(catalog, two), QStringLiteral("typed meanwhile"));
    }
};

QTEST_MAIN(TManyWritersTest)
#include "ManyWritersTest.moc"
