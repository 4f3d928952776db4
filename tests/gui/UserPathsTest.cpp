// What a user who clicks where they please can do to the main window: input while a long
// operation runs, the detail panel after the view changes, renames of top-level items and
// dialogs shown again after a restore.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <memory>

#include "GuiTestSupport.h"
#include "core/catalog/Sinks.h"
#include "gui/export/ExportDialog.h"
#include "gui/library/CatLibDialog.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"
#include "gui/library/NewCatDialog.h"
#include "gui/search/SearchDialog.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/InputGuard.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/WaitForm.h"
#include "support/ScriptedSinks.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

constexpr int kBigItems = 4000;

// A catalog of one folder with `count` files, every one named "track <i>.mp3".
QByteArray BigCatalog(int count) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo generated=\"Vellumdex\">"
        "<file FileName=\"Big\" FullPath=\"/big\" FileSize=\"1\" FileType=\"directory\">";
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral(
                    "<file FileName=\"track %1.mp3\" FullPath=\"/big/track %1.mp3\" "
                    "FileSize=\"100\" FileExt=\"mp3\" FileType=\"file\"/>")
                    .arg(i)
                    .toUtf8();
    }
    return text + "</file></fileinfo>";
}

// A library with the small sample catalog and several big ones in the group Mp3.
struct TLibrary {
    TFreshBase base;
    QString small;
    std::unique_ptr<TFMMain> main;

    TLibrary() {
        QDir().mkpath(base.Library() + QStringLiteral("/Mp3"));
        small = WriteFile(base.Library(), QStringLiteral("Mp3/small.xml"), SampleCatalog());
        for (int i = 0; i < 4; ++i) {
            WriteFile(base.Library(), QStringLiteral("Mp3/big%1.xml").arg(i),
                      BigCatalog(kBigItems));
        }
        main = std::make_unique<TFMMain>();
        main->show();
        QCoreApplication::processEvents();
    }

    TCatalogNode* LibraryNode(const QString& name) const {
        return FindNode(main->FrmCatTree()->Tree(), name);
    }

    void ClickLibrary(const QString& name) const {
        TCatalogNode* node = LibraryNode(name);
        QVERIFY(node);
        QTreeView* view = main->FrmCatTree()->VTLib();
        main->FrmCatTree()->FocusNode(node);
        const QRect rect = view->visualRect(main->FrmCatTree()->Model()->IndexOf(node));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }

    // Searches the whole library for "track"; `during` runs inside the search, once it
    // has begun walking the library and looks at pending input.
    QStringList SearchAll(const std::function<void()>& during) const {
        TFileItem conditions;
        ClearFileItem(conditions);
        conditions.SetField(FileName, "track");
        const QByteArray library = base.Library().toUtf8();
        conditions.SetField(
            FullPath, std::string_view(library.constData(), static_cast<size_t>(library.size())));
        main->CurrentCatalog.clear();
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (main->WaitForm()->MessageText().contains(QStringLiteral("CatalogLibrary"))) {
                poll.stop();
                during();
            }
        });
        poll.start();
        return main->FileInfo->Search(TSearchScope::Group, main->ContentTree(), conditions, false,
                                      false);
    }

    QModelIndex ContentIndex(const QString& name, int column = 0) const {
        return main->ContentModel()->IndexOf(FindNode(main->ContentTree(), name), column);
    }
};

}  // namespace

class TUserPathsTest : public QObject {
    Q_OBJECT

private slots:
    // Clicks, keys and the Quit button during a search reach nothing but the progress window.
    void inputDuringASearchChangesNothing() {
        TLibrary library;
        TFMMain& main = *library.main;
        library.ClickLibrary(QStringLiteral("small"));
        QCOMPARE(main.CurrentCatalog, library.small);
        const QByteArray smallBefore = ReadFile(library.small);

        bool guarded = false;
        library.SearchAll([&] {
            guarded = main.WaitForm()->InputGuard().Active();
            library.ClickLibrary(QStringLiteral("Mp3"));
            library.ClickLibrary(QStringLiteral("small"));
            main.VT()->setFocus();
            QTest::keyClick(main.VT(), Qt::Key_F2);
            QTest::keyClicks(main.VT(), QStringLiteral("typed"));
            QTest::keyClick(main.VT(), Qt::Key_Return);
            QTest::mouseClick(main.ToolButton(QStringLiteral("BtnQuit")), Qt::LeftButton);
            QTest::mouseClick(main.ToolButton(QStringLiteral("BtnSearch")), Qt::LeftButton);
        });
        QVERIFY(guarded);
        QVERIFY(!main.WaitForm()->InputGuard().Active());
        QVERIFY(!main.WaitForm()->isVisible());
        QCOMPARE(main.ContentTree().TopLevelCount(), 4 * kBigItems);
        QVERIFY(main.CurrentCatalog.isEmpty());
        QCOMPARE(ReadFile(library.small), smallBefore);
        QCoreApplication::processEvents();
        QVERIFY(main.isVisible());
        QVERIFY(!QApplication::activeModalWidget());

        // Once the search is over, the windows take input again.
        library.ClickLibrary(QStringLiteral("small"));
        QCOMPARE(main.CurrentCatalog, library.small);
    }

    // Escape in any window is the progress window's Cancel while a search runs.
    void escapeCancelsASearch() {
        TLibrary library;
        TFMMain& main = *library.main;
        library.SearchAll([&] { QTest::keyClick(main.VT(), Qt::Key_Escape); });
        QVERIFY(CancelRequested());
        QVERIFY(main.ContentTree().TopLevelCount() < 4 * kBigItems);
    }

    // Closing the main window during a search cancels it and closes once it has ended.
    void closingDuringASearchClosesAfterIt() {
        TLibrary library;
        TFMMain& main = *library.main;
        const QString config = library.base.Path() + QStringLiteral("/VellumdexConfig.xml");
        QFile::remove(config);
        bool stillShown = false;
        library.SearchAll([&] {
            main.close();
            stillShown = main.isVisible();
        });
        QVERIFY(stillShown);
        QVERIFY(CancelRequested());
        QVERIFY(main.ContentTree().TopLevelCount() < 4 * kBigItems);
        QVERIFY(main.FileInfo);
        QVERIFY(main.isVisible());  // the search's handler has not returned yet
        QTRY_VERIFY(!main.isVisible());
        QVERIFY(QFile::exists(config));  // closed normally: the layout was stored
    }

    // A click queued behind a closing dialog reaches the main window before the command's
    // dialog loop has returned: it must not start a second command inside the first.
    void noCommandStartsInsideAnother() {
        TLibrary library;
        TFMMain& main = *library.main;
        TScriptedPrompt prompt;
        main.UsePrompt(prompt);
        bool secondOpened = false;
        // Should a second command start after all, its dialog is noted and closed.
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && !qobject_cast<TFMSearch*>(modal)) {
                secondOpened = true;
                qobject_cast<QDialog*>(modal)->reject();
            }
        });
        watch.start();
        WhenModalOpens([&](QWidget* search) {
            QVERIFY(main.CommandRunning());
            qobject_cast<QDialog*>(search)->reject();
            QTest::mouseClick(main.ToolButton(QStringLiteral("BtnCatLib")), Qt::LeftButton);
        });
        QTest::mouseClick(main.ToolButton(QStringLiteral("BtnSearch")), Qt::LeftButton);
        QVERIFY(!main.CommandRunning());
        QTest::qWait(100);
        QVERIFY(!secondOpened);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Whatever refills or empties the content view empties the detail panel, and an edit
    // typed there goes to the item the panel shows.
    void detailPanelFollowsTheView() {
        TLibrary library;
        TFMMain& main = *library.main;
        library.ClickLibrary(QStringLiteral("small"));
        const auto showItem = [&](const QString& name) {
            main.VT()->selectionModel()->setCurrentIndex(
                library.ContentIndex(name),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        };
        showItem(QStringLiteral("c.txt"));
        QVERIFY(main.DetailEditable);
        QVERIFY(main.VLE()->Model().rowCount() > 0);

        // The current row moves on without selecting: the panel still edits c.txt.
        main.VT()->selectionModel()->setCurrentIndex(library.ContentIndex(QStringLiteral("b.MP3")),
                                                     QItemSelectionModel::NoUpdate);
        TDetailModel& detail = main.VLE()->Model();
        int descriptionRow = -1;
        for (int row = 0; row < detail.rowCount(); ++row) {
            if (detail.Entries()[static_cast<size_t>(row)].Key == QStringLiteral("Description")) {
                descriptionRow = row;
            }
        }
        QVERIFY(descriptionRow >= 0);
        QVERIFY(detail.setData(detail.index(descriptionRow, 1), QStringLiteral("panel edit"),
                               Qt::EditRole));
        QCOMPARE(Text(FindNode(main.ContentTree(), QStringLiteral("c.txt")), Description),
                 QStringLiteral("panel edit"));
        QCOMPARE(Text(FindNode(main.ContentTree(), QStringLiteral("b.MP3")), Description),
                 QString());
        QVERIFY(ReadFile(library.small).contains("panel edit"));

        // A search refills the view: nothing is shown, nothing can be edited.
        showItem(QStringLiteral("c.txt"));
        library.SearchAll([] {});
        QCOMPARE(detail.rowCount(), 0);
        QVERIFY(!main.DetailEditable);

        // Opening another catalog does the same.
        library.ClickLibrary(QStringLiteral("small"));
        showItem(QStringLiteral("c.txt"));
        QVERIFY(main.DetailEditable);
        main.CurrentCatalog.clear();
        main.OpenCatalog(library.base.Library() + QStringLiteral("/Mp3/big0.xml"));
        QCOMPARE(detail.rowCount(), 0);
        QVERIFY(!main.DetailEditable);
        QVERIFY(!detail.setData(detail.index(0, 1), QStringLiteral("lost"), Qt::EditRole));
    }

    // A top-level item's descendants take their paths from the item's own path.
    void renamingATopLevelItemKeepsItsChildrenPaths() {
        TLibrary library;
        TFMMain& main = *library.main;
        const QString path =
            WriteFile(library.base.Library(), QStringLiteral("Mp3/top.xml"),
                      "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo>"
                      "<file FileName=\"Small\" FullPath=\"/s\" FileType=\"directory\">"
                      "<file FileName=\"e.mp3\" FullPath=\"/s/e.mp3\" FileType=\"file\"/>"
                      "<file FileName=\"Inner\" FullPath=\"/s/Inner\" FileType=\"directory\">"
                      "<file FileName=\"f.mp3\" FullPath=\"/s/Inner/f.mp3\" FileType=\"file\"/>"
                      "</file></file></fileinfo>");
        main.OpenCatalog(path);
        TCatalogNode* top = FindNode(main.ContentTree(), QStringLiteral("Small"));
        QVERIFY(top);
        main.EditItemField(top, FileName, QStringLiteral("Renamed"));
        QCOMPARE(Text(top, FullPath), QStringLiteral("Renamed"));
        QCOMPARE(Text(FindNode(main.ContentTree(), QStringLiteral("e.mp3")), FullPath),
                 QStringLiteral("Renamed/e.mp3"));
        QCOMPARE(Text(FindNode(main.ContentTree(), QStringLiteral("f.mp3")), FullPath),
                 QStringLiteral("Renamed/Inner/f.mp3"));
        QCOMPARE(Text(FindNode(main.ContentTree(), QStringLiteral("f.mp3")), PathNameLength),
                 QStringLiteral("19"));
    }

    // A dialog restored from minimised keeps what the user did in it.
    void dialogsShownAgainKeepWhatTheUserDid() {
        TLibrary library;
        TFMMain& main = *library.main;
        TScriptedPrompt prompt;
        const auto showAgain = [](QWidget& dialog) {
            dialog.showMinimized();
            QCoreApplication::processEvents();
            dialog.showNormal();
            QCoreApplication::processEvents();
            dialog.hide();
            dialog.show();
            QCoreApplication::processEvents();
        };

        {
            TFMCatLib dialog(prompt, &main);
            dialog.show();
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QTest::mouseClick(dialog.BtnNewCat(), Qt::LeftButton);
            QVERIFY(dialog.NewGroupPending);
            const int nodes = static_cast<int>(dialog.FrmCatTree()->Tree().NodeCount());
            showAgain(dialog);
            // The new group's node stays; the restore may have ended its editing, which
            // makes the group.
            QVERIFY(dialog.NewGroupPending ||
                    QFileInfo(library.base.Library() + QStringLiteral("/NewGroup")).isDir());
            QVERIFY(FindNode(dialog.FrmCatTree()->Tree(), QStringLiteral("NewGroup")));
            QCOMPARE(static_cast<int>(dialog.FrmCatTree()->Tree().NodeCount()), nodes);
            dialog.reject();
        }
        {
            const TExportSources sources{main.ContentTree(), main.Progress(), prompt, QString()};
            TFMExport dialog(sources, &main);
            dialog.show();
            QCoreApplication::processEvents();
            dialog.CLBList()->item(0)->setCheckState(Qt::Unchecked);
            dialog.RBCatalog()->setChecked(true);
            TCatalogNode* small = FindNode(dialog.FrmCatTree()->Tree(), QStringLiteral("small"));
            QVERIFY(small);
            dialog.FrmCatTree()->FocusNode(small);
            showAgain(dialog);
            QCOMPARE(dialog.CLBList()->item(0)->checkState(), Qt::Unchecked);
            QVERIFY(dialog.RBCatalog()->isChecked());
            QCOMPARE(dialog.FrmCatTree()->FocusedNode(), small);
            dialog.reject();
        }
        {
            TFMNewCat dialog(prompt, &main);
            dialog.BrowseForFolder = [&](QWidget*, const QString&) { return library.base.Path(); };
            dialog.show();
            QCoreApplication::processEvents();
            dialog.SpeedButton1Click();
            QVERIFY(dialog.BtnOk()->isEnabled());
            showAgain(dialog);
            QVERIFY(dialog.BtnOk()->isEnabled());
            dialog.reject();
        }
        {
            TFMSearch dialog(prompt, &main);
            dialog.show();
            QCoreApplication::processEvents();
            dialog.EdFileName()->setText(QStringLiteral("night"));
            TCatalogNode* group = FindNode(dialog.FrmCatTree()->Tree(), QStringLiteral("Mp3"));
            dialog.FrmCatTree()->FocusNode(group);
            showAgain(dialog);
            QCOMPARE(dialog.EdFileName()->text(), QStringLiteral("night"));
            QCOMPARE(dialog.FrmCatTree()->FocusedNode(), group);
            dialog.reject();
        }
    }
};

QTEST_MAIN(TUserPathsTest)
#include "UserPathsTest.moc"
