// The window follows the disk: the open catalog and the library, changed by another program,
// reload by themselves and keep the user's place, but never under an open editor, a dialog
// or a running command.
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <memory>

#include "GuiTestSupport.h"
#include "SecondWriterSupport.h"
#include "core/base/Errors.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/engine/FileInfo.h"
#include "core/scan/ItemEdits.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/WaitForm.h"
#include "support/ScriptedSinks.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

constexpr int kWaitMs = 10000;
const QString kReloaded = QStringLiteral("Catalog reloaded: it was changed by another program.");

void ClickLibrary(TFMMain& main, const QString& name) {
    TCatalogNode* node = FindNode(main.FrmCatTree()->Tree(), name);
    QVERIFY(node);
    main.FrmCatTree()->FocusNode(node);
    QTreeView* view = main.FrmCatTree()->VTLib();
    const QRect rect = view->visualRect(main.FrmCatTree()->Model()->IndexOf(node));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

// One folder /d/Big of `folders` folders F00, F01, ... of `files` files t00.mp3, t01.mp3, ...
QByteArray FolderCatalog(int folders, int files) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo generated=\"Vellumdex\">"
        "<file FileName=\"Big\" FullPath=\"/d/Big\" FileSize=\"1\" FileType=\"directory\">";
    for (int f = 0; f < folders; ++f) {
        const QString folder = QStringLiteral("F%1").arg(f, 2, 10, QLatin1Char('0'));
        text += QStringLiteral(
                    "<file FileName=\"%1\" FullPath=\"/d/Big/%1\" FileSize=\"1\" "
                    "FileType=\"directory\">")
                    .arg(folder)
                    .toUtf8();
        for (int t = 0; t < files; ++t) {
            text += QStringLiteral(
                        "<file FileName=\"t%2.mp3\" FullPath=\"/d/Big/%1/t%2.mp3\" "
                        "FileSize=\"100\" FileExt=\"mp3\" FileType=\"file\"/>")
                        .arg(folder)
                        .arg(t, 2, 10, QLatin1Char('0'))
                        .toUtf8();
        }
        text += "</file>";
    }
    return text + "</file></fileinfo>";
}

QString DescriptionInView(TFMMain& main, const std::string& path) {
    const TCatalogNode* node = FindItem(main.ContentTree(), {path, 0});
    return node ? Text(node, Description) : QStringLiteral("<missing>");
}

QString PathOf(const QModelIndex& index) {
    const TCatalogNode* node = TTreeModelBase::NodeOf(index);
    return node ? Text(node, FullPath) : QString();
}

QModelIndex ContentIndex(TFMMain& main, const std::string& path, int column = 0) {
    return main.ContentModel()->IndexOf(FindItem(main.ContentTree(), {path, 0}), column);
}

bool ExpandedInView(TFMMain& main, const std::string& path) {
    return main.VT()->isExpanded(ContentIndex(main, path));
}

int DescriptionRow(const TDetailModel& model) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.Entries()[static_cast<size_t>(row)].Key == QStringLiteral("Description")) {
            return row;
        }
    }
    return -1;
}

}  // namespace

class TFollowDiskTest : public QObject {
    Q_OBJECT

private slots:
    // A describe from the shell shows in the window by itself; the sort, the open folders,
    // the focused cell and the scroll position stay, and so does the detail panel.
    void changedCatalogReloadsKeepingThePlace() {
        TFreshBase base;
        const QString big =
            WriteFile(base.Library(), QStringLiteral("Mp3/big.xml"), FolderCatalog(30, 12));
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        ClickLibrary(*main, QStringLiteral("big"));
        QCOMPARE(main->CurrentCatalog, big);
        main->ContentHeaderClick(0);
        main->ContentHeaderClick(0);  // FileName, descending
        QVERIFY(!main->VT()->SortAscending());
        const QStringList order = ChildNames(main->ContentTree().TopLevel(0));
        QCOMPARE(order.front(), QStringLiteral("F29"));
        main->VT()->expand(ContentIndex(*main, "/d/Big/F20"));
        main->VT()->expand(ContentIndex(*main, "/d/Big/F07"));
        main->VT()->setCurrentIndex(ContentIndex(*main, "/d/Big/F07/t05.mp3", 2));
        main->VT()->scrollTo(ContentIndex(*main, "/d/Big/F20/t10.mp3"),
                             QAbstractItemView::PositionAtTop);
        const int scrolled = main->VT()->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        QCOMPARE(PathOf(main->VT()->indexAt(QPoint(0, 0))), QStringLiteral("/d/Big/F20/t10.mp3"));
        QCOMPARE(Text(main->DetailNode(), FullPath), QStringLiteral("/d/Big/F07/t05.mp3"));

        DescribeFromShell(big, "/d/Big/F20/t03.mp3", "from the shell");
        QTRY_COMPARE_WITH_TIMEOUT(main->StatusPanel()->text(), kReloaded, kWaitMs);
        QCOMPARE(DescriptionInView(*main, "/d/Big/F20/t03.mp3"), QStringLiteral("from the shell"));
        QCOMPARE(ChildNames(main->ContentTree().TopLevel(0)), order);
        QVERIFY(ExpandedInView(*main, "/d/Big"));
        QVERIFY(ExpandedInView(*main, "/d/Big/F20"));
        QVERIFY(ExpandedInView(*main, "/d/Big/F07"));
        QVERIFY(!ExpandedInView(*main, "/d/Big/F08"));
        const QModelIndex current = main->VT()->currentIndex();
        QCOMPARE(PathOf(current), QStringLiteral("/d/Big/F07/t05.mp3"));
        QCOMPARE(current.column(), 2);
        QVERIFY(main->VT()->selectionModel()->isRowSelected(current.row(), current.parent()));
        QCOMPARE(PathOf(main->VT()->indexAt(QPoint(0, 0))), QStringLiteral("/d/Big/F20/t10.mp3"));
        QCOMPARE(main->VT()->verticalScrollBar()->value(), scrolled);
        QCOMPARE(main->DetailNode(), TTreeModelBase::NodeOf(current));
        QVERIFY(main->DetailEditable);

        // The focused item and the top row deleted by the other program: the focus goes to
        // the folder that held the item, the panel follows the selection.
        ChangeFromShell(big, [](TCatalogTree& tree) {
            tree.DeleteNode(FindItem(tree, {"/d/Big/F07/t05.mp3", 0}));
            tree.DeleteNode(FindItem(tree, {"/d/Big/F20/t10.mp3", 0}));
        });
        main->ShowStatusText(QString());
        QTRY_COMPARE_WITH_TIMEOUT(main->StatusPanel()->text(), kReloaded, kWaitMs);
        QVERIFY(!FindItem(main->ContentTree(), {"/d/Big/F07/t05.mp3", 0}));
        QCOMPARE(PathOf(main->VT()->currentIndex()), QStringLiteral("/d/Big/F07"));
        QCOMPARE(Text(main->DetailNode(), FullPath), QStringLiteral("/d/Big/F07"));
        QCOMPARE(DescriptionInView(*main, "/d/Big/F20/t03.mp3"), QStringLiteral("from the shell"));
        QCOMPARE(prompt.messages, QStringList());
    }

    // Nothing reloads under an open editor, a dialog, the progress window or a command; the
    // change comes once they are over.
    void noReloadWhileTheUserIsBusy() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        ClickLibrary(*main, QStringLiteral("rock"));
        QCOMPARE(main->CurrentCatalog, rock);
        QVERIFY(main->MayFollowDiskNow());

        // An editor in the content view.
        main->VT()->setCurrentIndex(ContentIndex(*main, "/d/Music/c.txt"));
        main->VT()->edit(ContentIndex(*main, "/d/Music/c.txt"));
        auto* editor = main->VT()->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor && editor->isVisible());
        DescribeFromShell(rock, "/d/Music/b.MP3", "one");
        QVERIFY(!main->MayFollowDiskNow());
        QVERIFY(!main->FollowDisk());
        QCOMPARE(DescriptionInView(*main, "/d/Music/b.MP3"), QString());
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(DescriptionInView(*main, "/d/Music/b.MP3"), QStringLiteral("one"),
                                  kWaitMs);

        // An editor in the detail panel.
        main->VT()->setCurrentIndex(ContentIndex(*main, "/d/Music/c.txt"));
        QVERIFY(main->DetailEditable);
        TDetailModel& detail = main->VLE()->Model();
        const int row = DescriptionRow(detail);
        QVERIFY(row >= 0);
        main->VLE()->setCurrentIndex(detail.index(row, 1));
        main->VLE()->edit(detail.index(row, 1));
        editor = main->VLE()->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor && editor->isVisible());
        DescribeFromShell(rock, "/d/Music/b.MP3", "two");
        QVERIFY(!main->FollowDisk());
        QCOMPARE(DescriptionInView(*main, "/d/Music/b.MP3"), QStringLiteral("one"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(DescriptionInView(*main, "/d/Music/b.MP3"), QStringLiteral("two"),
                                  kWaitMs);

        // A dialog.
        QDialog dialog(main.get());
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        DescribeFromShell(rock, "/d/Music/b.MP3", "three");
        QVERIFY(!main->FollowDisk());
        dialog.reject();
        QTRY_COMPARE_WITH_TIMEOUT(DescriptionInView(*main, "/d/Music/b.MP3"),
                                  QStringLiteral("three"), kWaitMs);

        // The progress window of a long operation, and a command.
        main->WaitForm()->ShowProgress(true, false);
        DescribeFromShell(rock, "/d/Music/b.MP3", "four");
        QVERIFY(!main->FollowDisk());
        main->WaitForm()->ShowProgress(false, false);
        bool refused = false;
        main->RunCommand([&] { refused = !main->MayFollowDiskNow() && !main->FollowDisk(); });
        QVERIFY(refused);
        QCOMPARE(DescriptionInView(*main, "/d/Music/b.MP3"), QStringLiteral("three"));
        QTRY_COMPARE_WITH_TIMEOUT(DescriptionInView(*main, "/d/Music/b.MP3"),
                                  QStringLiteral("four"), kWaitMs);
    }

    // A catalog deleted by another program empties the view; the library drops it and the
    // focus goes to its group.
    void vanishedCatalogEmptiesTheView() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        ClickLibrary(*main, QStringLiteral("rock"));
        main->VT()->setCurrentIndex(ContentIndex(*main, "/d/Music/c.txt"));
        QVERIFY(main->DetailNode());
        QVERIFY(QFile::remove(rock));
        QTRY_VERIFY_WITH_TIMEOUT(main->CurrentCatalog.isEmpty(), kWaitMs);
        QVERIFY(main->ContentTree().IsEmpty());
        QVERIFY(!main->DetailNode());
        QVERIFY(!main->DetailEditable);
        QVERIFY2(main->StatusPanel()->text().contains(rock),
                 qPrintable(main->StatusPanel()->text()));
        QTRY_VERIFY_WITH_TIMEOUT(!FindNode(main->FrmCatTree()->Tree(), QStringLiteral("rock")),
                                 kWaitMs);
        QCOMPARE(Text(main->FrmCatTree()->FocusedNode(), FileName), QStringLiteral("Mp3"));
        QCOMPARE(prompt.messages, QStringList());
    }

    // A catalog added to the library by another program appears; the open groups, the
    // focused node, the sort and the input focus stay.
    void changedLibraryReloadsKeepingThePlace() {
        TFreshBase base;
        for (const char* name : {"b", "d", "a", "e", "c"}) {
            WriteFile(base.Library(), QStringLiteral("Mp3/%1.xml").arg(QLatin1String(name)),
                      SampleCatalog());
        }
        WriteFile(base.Library(), QStringLiteral("Jazz/Old/old.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        TFrmCatTree& library = *main->FrmCatTree();
        library.HeaderClick(0);
        library.HeaderClick(0);  // names descending
        TCatalogNode* old = FindNode(library.Tree(), QStringLiteral("old"));
        library.FocusNode(old);
        library.VTLib()->collapse(library.Model()->IndexOf(FindNode(library.Tree(), "Mp3")));
        ClickLibrary(*main, QStringLiteral("old"));
        main->VT()->setFocus();
        QCOMPARE(main->focusWidget(), main->VT());

        WriteFile(base.Library(), QStringLiteral("Mp3/f.xml"), SampleCatalog());
        QTRY_VERIFY_WITH_TIMEOUT(FindNode(library.Tree(), QStringLiteral("f")), kWaitMs);
        const TCatalogNode* mp3 = FindNode(library.Tree(), QStringLiteral("Mp3"));
        QCOMPARE(ChildNames(mp3), (QStringList{"f", "e", "d", "c", "b", "a"}));
        QCOMPARE(ChildNames(library.RootNode()), (QStringList{"Mp3", "Jazz"}));
        QCOMPARE(Text(library.FocusedNode(), FileName), QStringLiteral("old"));
        QVERIFY(library.VTLib()->isExpanded(
            library.Model()->IndexOf(FindNode(library.Tree(), QStringLiteral("Old")))));
        QVERIFY(!library.VTLib()->isExpanded(library.Model()->IndexOf(mp3)));
        QCOMPARE(main->focusWidget(), main->VT());
        // The open catalog was not touched by the change of its library.
        QCOMPARE(Text(main->ContentTree().TopLevel(0), FullPath), QStringLiteral("/d/Music"));
        QCOMPARE(main->StatusPanel()->text().contains(QStringLiteral("reloaded")), false);
    }

    // A version of the catalog that cannot be read is reported once and the view keeps what
    // it shows; the next good version is read.
    void unreadableVersionIsReportedOnce() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        ClickLibrary(*main, QStringLiteral("rock"));
        WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), "<fileinfo><file FileName=");
        QTRY_VERIFY_WITH_TIMEOUT(
            main->StatusPanel()->text().startsWith(QStringLiteral("Cannot open catalog: ")),
            kWaitMs);
        QCOMPARE(main->CurrentCatalog, rock);
        QVERIFY(FindItem(main->ContentTree(), {"/d/Music/c.txt", 0}));
        main->ShowStatusText(QStringLiteral("quiet"));
        QVERIFY(!main->FollowDisk());
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("quiet"));

        WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"),
                  SampleCatalog(QStringLiteral("/x")));
        QTRY_COMPARE_WITH_TIMEOUT(main->StatusPanel()->text(), kReloaded, kWaitMs);
        QVERIFY(FindItem(main->ContentTree(), {"/x/c.txt", 0}));
        QCOMPARE(prompt.messages, QStringList());
    }

    // An edit the window could not save stays in the view across a reload and goes into the
    // file with the next save.
    void unsavedEditSurvivesAReload() {
        TFreshBase base;
        const QString rock =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMain(prompt);
        TRecordingProgress progress;
        main->UseProgress(progress);
        ClickLibrary(*main, QStringLiteral("rock"));
        {
            // Another program holds the catalog; the user gives up waiting.
            const TCatalogLock held(rock, SilentProgress());
            progress.cancelAfterInputs = 1;
            main->EditItemField(FindNode(main->ContentTree(), "c.txt"), Description,
                                QStringLiteral("waited"));
            progress.cancelAfterInputs = -1;
            SetCancelRequested(false);
        }
        QCOMPARE(prompt.titles, QStringList{QStringLiteral("Warning")});
        QCOMPARE(DescriptionInFile(rock, "/d/Music/c.txt"), QStringLiteral("notes"));
        DescribeFromShell(rock, "/d/Music/b.MP3", "CLI note");
        QTRY_COMPARE_WITH_TIMEOUT(main->StatusPanel()->text(), kReloaded, kWaitMs);
        QCOMPARE(DescriptionInView(*main, "/d/Music/b.MP3"), QStringLiteral("CLI note"));
        QCOMPARE(DescriptionInView(*main, "/d/Music/c.txt"), QStringLiteral("waited"));

        main->EditItemField(FindNode(main->ContentTree(), "a.mp3"), Description,
                            QStringLiteral("later"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/c.txt"), QStringLiteral("waited"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/b.MP3"), QStringLiteral("CLI note"));
        QCOMPARE(DescriptionInFile(rock, "/d/Music/Live/a.mp3"), QStringLiteral("later"));
    }
};

QTEST_MAIN(TFollowDiskTest)
#include "FollowDiskTest.moc"
