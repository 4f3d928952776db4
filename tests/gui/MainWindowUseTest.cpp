// The main window as a demanding user meets it: what the status bar says, column widths that
// fit, captions beside the sort arrow, keyboard moves that keep FileName in view, the pop-up
// menu's way to the disk, and the About box.
#include <QAction>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>

#include "DialogTestSupport.h"
#include "gui/library/FrmCatTree.h"
#include "gui/search/SearchDialog.h"
#include "gui/shell/AboutDialog.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/MainWindow.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// Records what the desktop services were asked to open instead of starting programs.
class TUrlRecorder : public QObject {
    Q_OBJECT

public:
    TUrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~TUrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

// A catalog of `root` holding the named files, each with a size, a time and a playing time.
QByteArray MusicCatalog(const QString& root, const QStringList& names, const QString& size,
                        const QString& time) {
    QString text = QStringLiteral(
                       "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo><file FileName=\"%1\" "
                       "FullPath=\"%1\" FileType=\"directory\" FileSize=\"%2\" "
                       "AudioDuration=\"%3\">")
                       .arg(root)
                       .arg(size.toLongLong() * names.size())
                       .arg(185000 * names.size());
    for (const QString& name : names) {
        text += QStringLiteral(
                    "<file FileName=\"%1\" FullPath=\"%2/%1\" FileType=\"file\" FileSize=\"%3\" "
                    "FileTime=\"%4\" FileExt=\"mp3\" AudioDuration=\"185000\"/>")
                    .arg(name, root, size, time);
    }
    return (text + QStringLiteral("</file></fileinfo>")).toUtf8();
}

void ClickLibrary(TFMMain& main, const QString& name) {
    TCatalogNode* node = FindNode(*main.FrmCatTree(), name);
    QVERIFY(node);
    main.FrmCatTree()->FocusNode(node);
    QTreeView* view = main.FrmCatTree()->VTLib();
    const QRect rect = view->visualRect(main.FrmCatTree()->Model()->IndexOf(node));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    // The status bar follows once the click's command has ended.
    QCoreApplication::processEvents();
}

int ColumnOf(const TFMMain& main, int field) {
    for (int c = 0; c < main.ContentModel()->columnCount(); ++c) {
        if (main.ContentModel()->FieldOfColumn(c) == field) {
            return c;
        }
    }
    return -1;
}

QModelIndex ContentIndex(TFMMain& main, const QString& name, int column = 0) {
    return main.ContentModel()->IndexOf(FindNode(main.ContentTree(), name), column);
}

}  // namespace

class TMainWindowUseTest : public QObject {
    Q_OBJECT

private slots:
    void statusBarTellsWhatIsShownAndDropsWhatIsStale() {
        TFreshBase base;
        WriteFile(base.Library(), QStringLiteral("Mp3/Songs.xml"),
                  MusicCatalog(QStringLiteral("/m/Songs"), {"a.mp3", "b.mp3", "c.mp3"},
                               QStringLiteral("1048576"), QStringLiteral("1/2/2021 10:00:00 AM")));
        WriteFile(base.Library(), QStringLiteral("Mp3/Plain.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QLabel* panel = main->ContentPanel();
        QCOMPARE(panel->text(), QString());

        ClickLibrary(*main, QStringLiteral("Songs"));
        QCOMPARE(panel->text(), QStringLiteral("4 items, 3.0 MB, playing time 9:15"));
        // A catalog without playing times says nothing about them.
        ClickLibrary(*main, QStringLiteral("Plain"));
        QCOMPARE(panel->text(), QStringLiteral("5 items, 3.8 KB"));

        // Hits say how many they are; the next catalog opened says what it holds instead.
        WhenDialogOpens<TFMSearch>([](TFMSearch* dialog) {
            dialog->EdExt()->setText(QStringLiteral("mp3"));
            dialog->BitBtn1Click();
        });
        main->SearchCommand();
        QCoreApplication::processEvents();
        QCOMPARE(panel->text(), QStringLiteral("5 hits"));
        ClickLibrary(*main, QStringLiteral("Songs"));
        QCOMPARE(panel->text(), QStringLiteral("4 items, 3.0 MB, playing time 9:15"));
        // A group shows nothing, and so says nothing.
        ClickLibrary(*main, QStringLiteral("Mp3"));
        QCOMPARE(panel->text(), QString());

        // A message about what was shown goes with it; a hint stays until the next one.
        ClickLibrary(*main, QStringLiteral("Plain"));
        main->ShowStatusMessage(QStringLiteral("The catalog was reloaded"));
        ClickLibrary(*main, QStringLiteral("Songs"));
        QCOMPARE(main->StatusPanel()->text(), QString());
        main->ShowStatusText(QStringLiteral("Catalog library"));
        ClickLibrary(*main, QStringLiteral("Plain"));
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Catalog library"));
        QCOMPARE(CatalogSummaryText(TCatalogTree()), QStringLiteral("0 items, 0 bytes"));

        // A dialog closing over a control does not push a fresh message aside; a mouse that
        // moves onto a control does.
        QCursor::setPos(main->mapToGlobal(QPoint(400, 300)));
        main->ShowStatusMessage(QStringLiteral("Export done: /tmp/a.htm"));
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(main->VT(), &enter);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Export done: /tmp/a.htm"));
        QCursor::setPos(main->mapToGlobal(QPoint(420, 310)));
        QCoreApplication::sendEvent(main->VT(), &enter);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Catalog file items"));
    }

    void numberColumnsFitACatalogUnlessTheUserSizedThem() {
        TFreshBase base;
        const QString time = QStringLiteral("12/31/2024 11:59:59 PM");
        WriteFile(base.Library(), QStringLiteral("Big.xml"),
                  MusicCatalog(QStringLiteral("/m/Big"), {"a.mp3"}, QStringLiteral("123456789012"),
                               time));
        WriteFile(base.Library(), QStringLiteral("Small.xml"),
                  MusicCatalog(QStringLiteral("/m/Small"), {"a.mp3"}, QStringLiteral("12"), time));
        TScriptedPrompt prompt;
        {
            auto main = StartMainWith(prompt);
            TContentView* view = main->VT();
            const int size = ColumnOf(*main, FileSize);
            const int when = ColumnOf(*main, FileTime);
            QCOMPARE(view->header()->sectionSize(size), 84);
            ClickLibrary(*main, QStringLiteral("Big"));
            // The largest size (the folder's sum) and the time are shown whole.
            const QFontMetrics metrics(view->font());
            const QString largest =
                FieldDisplayText(FileSize, &main->ContentTree().GetFirst()->Item());
            QVERIFY(view->header()->sectionSize(size) > metrics.horizontalAdvance(largest) + 4);
            QVERIFY(view->header()->sectionSize(size) > 84);
            QVERIFY(view->header()->sectionSize(when) > metrics.horizontalAdvance(time) + 4);
            // Each catalog shown anew gets widths of its own.
            ClickLibrary(*main, QStringLiteral("Small"));
            QCOMPARE(view->header()->sectionSize(size), view->FittedWidth(size));
            QVERIFY(view->header()->sectionSize(size) < metrics.horizontalAdvance(largest));

            // The user drags FileSize wider: that width stays, for later catalogs too.
            QHeaderView* header = view->header();
            main->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(main.get()));
            const int edge = header->sectionViewportPosition(size) + header->sectionSize(size) - 1;
            const int before = header->sectionSize(size);
            QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, 5));
            QTest::mouseMove(header->viewport(), QPoint(edge + 60, 5));
            QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 60, 5));
            const int chosen = header->sectionSize(size);
            QVERIFY2(chosen > before + 30, qPrintable(QString::number(chosen)));
            ClickLibrary(*main, QStringLiteral("Big"));
            QCOMPARE(header->sectionSize(size), chosen);
            main->close();
        }
        // Across runs too; FileTime, never sized by the user, is still fitted.
        auto main = StartMainWith(prompt);
        const int size = ColumnOf(*main, FileSize);
        const int stored = main->VT()->header()->sectionSize(size);
        ClickLibrary(*main, QStringLiteral("Small"));
        QCOMPARE(main->VT()->header()->sectionSize(size), stored);
        const int when = ColumnOf(*main, FileTime);
        QCOMPARE(main->VT()->header()->sectionSize(when), main->VT()->FittedWidth(when));

        // A command that lets events through while it fills the view, as a scan does, gets
        // the widths of what the view holds when it ends.
        WriteFile(base.Library(), QStringLiteral("Third.xml"),
                  MusicCatalog(QStringLiteral("/m/Third"), {"a.mp3"}, QStringLiteral("1"),
                               QStringLiteral("1/2/2021 1:00:00 AM")));
        main->RunCommand([&] {
            main->OpenCatalog(base.Library() + QStringLiteral("/Third.xml"));
            QCoreApplication::processEvents();
            main->ContentTree().GetFirst()->Item().SetField(FileTime, time.toStdString());
        });
        QCoreApplication::processEvents();
        QCOMPARE(main->VT()->header()->sectionSize(when), main->VT()->FittedWidth(when));
        QVERIFY(main->VT()->header()->sectionSize(when) >
                main->VT()->fontMetrics().horizontalAdvance(time));
    }

    void theSortArrowLeavesRightAlignedCaptionsWhole() {
        TFreshBase base;
        WriteFile(base.Library(), QStringLiteral("Plain.xml"), SampleCatalog());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        ClickLibrary(*main, QStringLiteral("Plain"));
        TGridHeader* header = main->VT()->Header();
        const QFontMetrics metrics(header->font());
        for (const int field : {int{FileSize}, int{FileTime}, int{FileName}}) {
            const int column = ColumnOf(*main, field);
            main->ContentHeaderClick(column);
            const QRect arrow = header->ArrowRect(column);
            const QRect caption = header->CaptionRect(column);
            QVERIFY(arrow.isValid());
            QVERIFY2(!caption.intersects(arrow), qPrintable(QString::number(field)));
            const QString name = main->ContentModel()
                                     ->headerData(column, Qt::Horizontal, Qt::DisplayRole)
                                     .toString();
            QVERIFY2(metrics.horizontalAdvance(name) <= caption.width(), qPrintable(name));
        }
        // Without a sort arrow the caption has the whole section.
        const int description = ColumnOf(*main, Description);
        QVERIFY(!header->ArrowRect(description).isValid());
        QVERIFY(header->CaptionRect(description).width() > header->sectionSize(description) - 20);
    }

    void movingThroughTheRowsKeepsFileNameInView() {
        TFreshBase base;
        QStringList names;
        for (int i = 0; i < 80; ++i) {
            names << QStringLiteral("song %1.mp3").arg(i, 2, 10, QLatin1Char('0'));
        }
        WriteFile(base.Library(), QStringLiteral("Many.xml"),
                  MusicCatalog(QStringLiteral("/m/Many"), names, QStringLiteral("1000"),
                               QStringLiteral("1/2/2021 10:00:00 AM")));
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        ClickLibrary(*main, QStringLiteral("Many"));
        main->showNormal();
        main->resize(700, 500);
        QCoreApplication::processEvents();
        TContentView* view = main->VT();
        QVERIFY(view->horizontalScrollBar()->maximum() > 0);
        // A click on a cell that the right edge cuts, then down through the rows.
        int cut = -1;
        for (int c = 0; c < main->ContentModel()->columnCount() && cut < 0; ++c) {
            const QRect cell = view->visualRect(ContentIndex(*main, names[0], c));
            if (cell.left() < view->viewport()->width() &&
                cell.right() > view->viewport()->width()) {
                cut = c;
            }
        }
        QVERIFY(cut > 0);
        const QModelIndex start = ContentIndex(*main, names[0], cut);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(start).center());
        view->setFocus();
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(view, Qt::Key_Down);
        }
        QCOMPARE(view->horizontalScrollBar()->value(), 0);
        const QModelIndex current = view->currentIndex();
        QVERIFY(current.row() > 30);
        // The current row is in view, its name whole.
        const QRect name = view->visualRect(current.siblingAtColumn(0));
        QVERIFY(name.left() >= 0);
        QVERIFY(view->viewport()->rect().contains(name.center()));
        // Editing a cut cell still brings it into view.
        const int description = ColumnOf(*main, Description);
        view->setCurrentIndex(current.siblingAtColumn(description));
        QTest::keyClick(view, Qt::Key_F2);
        const QRect edited = view->visualRect(current.siblingAtColumn(description));
        QVERIFY(edited.right() <= view->viewport()->width());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }

    void popupMenuReachesTheDiskWhileItIsThere() {
        TFreshBase base;
        const QString disk = base.Path() + QStringLiteral("/Café disk");
        WriteFile(disk, QStringLiteral("there.mp3"), "audio");
        WriteFile(base.Library(), QStringLiteral("Disk.xml"),
                  MusicCatalog(disk, {"there.mp3", "gone.mp3"}, QStringLiteral("5"),
                               QStringLiteral("1/2/2021 10:00:00 AM")));
        TScriptedPrompt prompt;
        TUrlRecorder recorder;
        auto main = StartMainWith(prompt);
        ClickLibrary(*main, QStringLiteral("Disk"));
        auto* menu = main->findChild<QMenu*>(QStringLiteral("MenuContent"));
        QVERIFY(menu);
        const auto action = [menu](const char* name) {
            return menu->findChild<QAction*>(QString::fromLatin1(name));
        };
        QStringList captions;
        for (QAction* each : menu->actions()) {
            captions << each->text();
        }
        QCOMPARE(captions, (QStringList{"Update", "Show in catalog", QString(),
                                        "Open Containing Folder", "Open File", "Copy Path"}));
        TContentView* view = main->VT();
        const auto popupAt = [&](const QString& name) {
            const QRect cell = view->visualRect(ContentIndex(*main, name));
            emit view->customContextMenuRequested(cell.center());
            QVERIFY(menu->isVisible());
            menu->hide();
        };

        // A file on the mounted disk: all three; the programs get its place by its bytes.
        popupAt(QStringLiteral("there.mp3"));
        QVERIFY(action("ActionOpenFolder")->isEnabled());
        QVERIFY(action("ActionOpenFile")->isEnabled());
        QVERIFY(action("ActionCopyPath")->isEnabled());
        action("ActionOpenFile")->trigger();
        action("ActionOpenFolder")->trigger();
        QCOMPARE(recorder.opened.size(), 2);
        QCOMPARE(recorder.opened[0].toLocalFile(), disk + QStringLiteral("/there.mp3"));
        QVERIFY(recorder.opened[0].toEncoded().contains("Caf%C3%A9%20disk/there.mp3"));
        QCOMPARE(recorder.opened[1].toLocalFile(), disk);
        action("ActionCopyPath")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), disk + QStringLiteral("/there.mp3"));

        // A file that is not there: only its folder and its path.
        popupAt(QStringLiteral("gone.mp3"));
        QVERIFY(action("ActionOpenFolder")->isEnabled());
        QVERIFY(!action("ActionOpenFile")->isEnabled());
        QVERIFY(action("ActionCopyPath")->isEnabled());
        // The disk taken away: nothing to open, the path can still be copied.
        QVERIFY(QDir(disk).removeRecursively());
        popupAt(QStringLiteral("there.mp3"));
        QVERIFY(!action("ActionOpenFolder")->isEnabled());
        QVERIFY(!action("ActionOpenFile")->isEnabled());
        QVERIFY(action("ActionCopyPath")->isEnabled());
        // A folder is no file to open.
        WriteFile(disk, QStringLiteral("there.mp3"), "audio");
        popupAt(disk);
        QVERIFY(!action("ActionOpenFile")->isEnabled());
        QVERIFY(action("ActionOpenFolder")->isEnabled());
    }

    void aboutBoxShowsItsAddressesWholeAndCloses() {
        TFMAbout about;
        about.show();
        QCoreApplication::processEvents();
        QVERIFY(about.width() >= 292 && about.height() >= 152);
        for (const char* name : {"LinkWeb", "LinkMail"}) {
            auto* link = about.findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY(link);
            QVERIFY2(link->width() >= link->sizeHint().width(), name);
            QVERIFY(about.rect().contains(link->geometry()));
        }
        auto* close = about.findChild<QPushButton*>(QStringLiteral("BtnClose"));
        QVERIFY(close);
        QVERIFY(about.rect().contains(close->geometry()));
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TMainWindowUseTest)
#include "MainWindowUseTest.moc"
