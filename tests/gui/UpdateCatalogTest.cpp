// Updating a catalog from the desktop program: the folder question, the preview and Apply.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <pugixml.hpp>

#include "GuiTestSupport.h"
#include "core/engine/FileInfo.h"
#include "gui/library/CatLibDialog.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/UpdatePreviewDialog.h"
#include "gui/shell/MainWindow.h"
#include "support/ScriptedSinks.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// A library with one catalog, Disk, of a music folder with two songs; the first described.
struct TUpdateFixture {
    TFreshBase base;
    QString music = base.Path() + QStringLiteral("/music");
    QString catalog = base.Library() + QStringLiteral("/Disk.xml");

    TUpdateFixture() {
        WriteFile(music, QStringLiteral("a/one.mp3"), QByteArray(40, 'x'));
        WriteFile(music, QStringLiteral("a/two.mp3"), QByteArray(60, 'x'));
        QDir().mkpath(base.Library());
        pugi::xml_document document;
        TFileInfo engine;
        engine.Document = &document;
        TCatalogTree tree;
        engine.ScanFolder(tree, music, QStringLiteral("\\.MP3\\"), false, catalog);
        FindNode(tree, QStringLiteral("two.mp3"))->Item().SetField(Description, "keep me");
        FindNode(tree, QStringLiteral("one.mp3"))->Item().SetField(Description, "goes");
        engine.NewDocument();
        engine.TreeToDocument(tree);
        engine.SaveCatalogFile(catalog);
    }
};

std::unique_ptr<TFMMain> StartMain() {
    auto main = std::make_unique<TFMMain>();
    main->show();
    QCoreApplication::processEvents();
    return main;
}

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        texts << list->topLevelItem(i)->text(column);
    }
    return texts;
}

}  // namespace

class TUpdateCatalogTest : public QObject {
    Q_OBJECT

private slots:
    void previewShowsTheChangesAndApplyShowsTheUpdatedCatalog() {
        TUpdateFixture fixture;
        auto main = StartMain();
        TRecordingProgress progress;
        main->UseProgress(progress);
        main->OpenCatalog(fixture.catalog);
        // A rename in the content view survives the update.
        main->EditItemField(FindNode(main->ContentTree(), QStringLiteral("two.mp3")), FileName,
                            QStringLiteral("Second song"));
        const std::filesystem::path folder = (fixture.music + QStringLiteral("/a")).toStdString();
        const auto folderTime = std::filesystem::last_write_time(folder);
        QVERIFY(QFile::remove(fixture.music + QStringLiteral("/a/one.mp3")));
        WriteFile(fixture.music, QStringLiteral("a/three.mp3"), QByteArray(10, 'x'));
        // The folder keeps its time, so that it does not count as changed when the test
        // crosses a second.
        std::filesystem::last_write_time(folder, folderTime);
        const QByteArray beforeUpdate = ReadFile(fixture.catalog);

        QString asked;
        main->AskUpdateFolder = [&](const QString& stored) {
            asked = stored;
            return stored;
        };
        bool apply = false;
        QStringList counts, tabs, removed, descriptions, added;
        main->ShowUpdatePreview = [&](TFMUpdatePreview& preview) {
            counts << preview.LblCounts()->text();
            for (int i = 0; i < preview.Tabs()->count(); ++i) {
                tabs << preview.Tabs()->tabText(i);
            }
            removed = Column(preview.LstRemoved(), 0);
            descriptions = Column(preview.LstRemoved(), 1);
            added = Column(preview.LstAdded(), 0);
            return apply;
        };
        main->UpdateCatalogCommand(fixture.catalog);
        QCOMPARE(asked, fixture.music);
        QVERIFY(progress.texts.contains(QStringLiteral("Loading info..")));
        QVERIFY(counts.value(0).contains(QStringLiteral("Added: 1    Removed: 1    Changed: 0")));
        QVERIFY(counts.value(0).contains(QStringLiteral("Descriptions that will be dropped: 1")));
        QCOMPARE(tabs, (QStringList{QStringLiteral("Added (1)"), QStringLiteral("Removed (1)"),
                                    QStringLiteral("Changed (0)")}));
        QCOMPARE(removed.value(0), QStringLiteral("descriptions that will be dropped"));
        QCOMPARE(removed.value(1), fixture.music + QStringLiteral("/a/one.mp3"));
        QCOMPARE(descriptions.value(1), QStringLiteral("goes"));
        QCOMPARE(added, QStringList{fixture.music + QStringLiteral("/a/three.mp3")});
        // Cancel writes nothing and leaves the catalog on screen.
        QCOMPARE(ReadFile(fixture.catalog), beforeUpdate);
        QVERIFY(FindNode(main->ContentTree(), QStringLiteral("one.mp3")));

        apply = true;
        main->UpdateCatalogCommand(fixture.catalog);
        QCOMPARE(main->CurrentCatalog, fixture.catalog);
        QVERIFY(!FindNode(main->ContentTree(), QStringLiteral("one.mp3")));
        QVERIFY(FindNode(main->ContentTree(), QStringLiteral("three.mp3")));
        const TCatalogNode* renamed = FindNode(main->ContentTree(), QStringLiteral("Second song"));
        QVERIFY(renamed);
        QCOMPARE(Text(renamed, Description), QStringLiteral("keep me"));
        QVERIFY(QString::fromUtf8(ReadFile(fixture.catalog)).contains(QStringLiteral("three.mp3")));
    }

    void aMissingFolderIsRefusedWithAMessage() {
        TUpdateFixture fixture;
        auto main = StartMain();
        TScriptedPrompt prompt;
        main->UsePrompt(prompt);
        const QByteArray before = ReadFile(fixture.catalog);
        main->AskUpdateFolder = [&](const QString&) {
            return fixture.base.Path() + QStringLiteral("/unmounted");
        };
        bool previewed = false;
        main->ShowUpdatePreview = [&](TFMUpdatePreview&) { return previewed = true; };
        main->UpdateCatalogCommand(fixture.catalog);
        QVERIFY(!previewed);
        QCOMPARE(prompt.messages.size(), 1);
        QVERIFY(prompt.messages[0].contains(QStringLiteral("does not exist")));
        QCOMPARE(ReadFile(fixture.catalog), before);
    }

    void theLibraryDialogAndTheContentMenuOfferTheUpdate() {
        TUpdateFixture fixture;
        auto main = StartMain();
        auto* menu = main->findChild<QMenu*>(QStringLiteral("MenuContent"));
        QVERIFY(menu);
        QAction* action = menu->findChild<QAction*>(QStringLiteral("ActionUpdate"));
        QVERIFY(action);
        main->OpenCatalog(fixture.catalog);
        QString updated;
        main->AskUpdateFolder = [&](const QString& stored) {
            updated = stored;
            return QString();  // cancelled
        };
        action->trigger();
        QCOMPARE(updated, fixture.music);

        TScriptedPrompt prompt;
        TFMCatLib dialog(prompt, main.get());
        QString fromDialog;
        dialog.UpdateCatalog = [&](const QString& path) { fromDialog = path; };
        dialog.show();
        QCoreApplication::processEvents();
        QVERIFY(!dialog.BtnUpdate()->isEnabled());
        dialog.FrmCatTree()->FocusNode(
            FindNode(dialog.FrmCatTree()->Tree(), QStringLiteral("Disk")));
        QVERIFY(dialog.BtnUpdate()->isEnabled());
        QTest::mouseClick(dialog.BtnUpdate(), Qt::LeftButton);
        QCOMPARE(fromDialog, fixture.catalog);
    }
};

QTEST_MAIN(TUpdateCatalogTest)
#include "UpdateCatalogTest.moc"
