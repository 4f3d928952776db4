// The main window as a user meets it: start-up, layout, library clicks, sorting, editing.
#include <QAbstractItemModelTester>
#include <QCursor>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <memory>

#include "GuiTestSupport.h"
#include "core/catalog/Sinks.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ConfigDialog.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/Guard.h"
#include "gui/shell/GuiPrompt.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/ViewStyle.h"
#include "support/ScriptedSinks.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

std::unique_ptr<TFMMain> StartMain() {
    auto main = std::make_unique<TFMMain>();
    main->show();
    QCoreApplication::processEvents();
    return main;
}

TCatalogNode* LibraryNode(TFMMain& main, const QString& name) {
    return FindNode(main.FrmCatTree()->Tree(), name);
}

// Focuses a library node and clicks it with the mouse, as a user would.
void ClickLibrary(TFMMain& main, const QString& name) {
    TCatalogNode* node = LibraryNode(main, name);
    QVERIFY(node);
    main.FrmCatTree()->FocusNode(node);
    QTreeView* view = main.FrmCatTree()->VTLib();
    const QRect rect = view->visualRect(main.FrmCatTree()->Model()->IndexOf(node));
    QVERIFY(rect.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

TCatalogNode* ContentNode(TFMMain& main, const QString& name) {
    return FindNode(main.ContentTree(), name);
}

int ColumnOf(const TFMMain& main, const QString& name) {
    const auto& columns = main.ContentModel()->Columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].Name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString ReadText(const QString& path) {
    return QString::fromUtf8(ReadFile(path));
}

}  // namespace

class TMainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithoutFiles() {
        TFreshBase base;
        auto main = StartMain();
        QCOMPARE(ReadFile(base.Path() + QStringLiteral("/VellumdexConfig.xml")),
                 QByteArray::fromStdString(DefaultConfigText()));
        QStringList groups = QDir(base.Library()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        groups.sort();
        QCOMPARE(groups, (QStringList{"Book", "DVD", "Document", "Movie", "Mp3"}));

        QCOMPARE(main->windowTitle(), QStringLiteral("Melodrix"));
        QVERIFY(main->isMaximized());
        QCOMPARE(main->ContentModel()->columnCount(), FieldCount);
        QStringList hidden;
        for (int i = 0; i < 17; ++i) {
            if (main->VT()->header()->isSectionHidden(i)) {
                hidden << main->ContentModel()
                              ->headerData(i, Qt::Horizontal, Qt::DisplayRole)
                              .toString();
            }
        }
        QCOMPARE(hidden,
                 (QStringList{"FileType", "FileNameLength", "PathNameLength", "SizePercentage"}));
        QCOMPARE(main->VT()->header()->sectionSize(0), 172);

        TCatalogNode* root = main->FrmCatTree()->FocusedNode();
        QVERIFY(root);
        QCOMPARE(Text(root, FileName), QStringLiteral("CatalogLibrary"));
        QCOMPARE(root->ChildCount(), 5);
        QVERIFY(
            main->FrmCatTree()->VTLib()->isExpanded(main->FrmCatTree()->Model()->IndexOf(root)));
        QCOMPARE(main->VLE()->Model().rowCount(), 0);
        QVERIFY(!main->DetailEditable);
        QVERIFY(main->CurrentCatalog.isEmpty());
        QCOMPARE(main->SortField, 0);
    }

    void toolbarAndStatusBar() {
        TFreshBase base;
        auto main = StartMain();
        const QStringList names{"BtnNewCat", "BtnCatLib",  "BtnSearch", "BtnExport",
                                "BtnStats",  "BtnOptions", "BtnQuit"};
        const QStringList captions{"&New catalog", "&Catalog library", "&Search", "&Export",
                                   "S&tatistics",  "&Options..",       "&Quit"};
        for (int i = 0; i < names.size(); ++i) {
            QToolButton* button = main->ToolButton(names[i]);
            QVERIFY2(button, qPrintable(names[i]));
            QCOMPARE(button->text(), captions[i]);
            QVERIFY(button->font().bold());
            QVERIFY(!button->icon().isNull());
            QVERIFY(button->isEnabled());  // every command has its dialog
        }
        QCOMPARE(main->MenuOptions()->actions().size(), 8);
        QCOMPARE(main->MenuOptions()->actions().at(1)->text(), QStringLiteral("Find Duplicates"));
        QCOMPARE(main->MenuOptions()->actions().at(2)->text(), QStringLiteral("Statistics"));
        QCOMPARE(main->MenuOptions()->actions().at(6)->text(), QStringLiteral("About Melodrix"));

        // Entering a control shows its hint; leaving does not clear it.
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(main->ToolButton(QStringLiteral("BtnExport")), &enter);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Export to a file "));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(main->ToolButton(QStringLiteral("BtnExport")), &leave);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Export to a file "));
        QCoreApplication::sendEvent(main->VT(), &enter);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Catalog file items"));
        QCoreApplication::sendEvent(main->FrmCatTree()->VTLib(), &enter);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Catalog library"));
        QCoreApplication::sendEvent(main->VLE(), &enter);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Selected detail info"));

        // Quit closes the window and stores the layout.
        QTest::mouseClick(main->ToolButton(QStringLiteral("BtnQuit")), Qt::LeftButton);
        QVERIFY(!main->isVisible());
        QVERIFY(ReadText(base.Path() + QStringLiteral("/VellumdexConfig.xml"))
                    .startsWith(QStringLiteral("<config")));
    }

    void layoutSurvivesCloseAndRestart() {
        TFreshBase base;
        std::string text = DefaultConfigText();
        auto replace = [&text](const std::string& from, const std::string& to) {
            text.replace(text.find(from), from.size(), to);
        };
        replace("max=\"True\" left=\"0\" top=\"0\" height=\"600\" width=\"800\"",
                "max=\"False\" left=\"10\" top=\"20\" height=\"700\" width=\"900\"");
        replace("width=\"308\" col1=\"127\" col2=\"106\" col3=\"76\"",
                "width=\"250\" col1=\"111\" col2=\"99\" col3=\"77\"");
        replace("height=\"262\" col1=\"139\" col2=\"139\"",
                "height=\"200\" col1=\"101\" col2=\"150\"");
        WriteFile(base.Path(), QStringLiteral("VellumdexConfig.xml"),
                  QByteArray::fromStdString(text));
        UseConfigDirectory(base.Path());

        {
            auto main = StartMain();
            QVERIFY(!main->isMaximized());
            QCOMPARE(main->size(), QSize(900, 700));
            QCOMPARE(main->findChild<QSplitter*>(QStringLiteral("MainSplitter"))->sizes().value(0),
                     250);
            QCOMPARE(main->findChild<QSplitter*>(QStringLiteral("plLeft"))->sizes().value(1), 200);
            QCOMPARE(main->FrmCatTree()->VTLib()->columnWidth(1), 99);
            QCOMPARE(main->VLE()->columnWidth(1), 150);

            QHeaderView* header = main->VT()->header();
            header->resizeSection(0, 222);
            header->setSectionHidden(1, true);
            header->moveSection(header->visualIndex(2), 0);
            main->FrmCatTree()->VTLib()->setColumnWidth(2, 66);
            main->VLE()->setColumnWidth(0, 120);
            main->resize(950, 640);
            main->close();
        }
        const QString saved = ReadText(base.Path() + QStringLiteral("/VellumdexConfig.xml"));
        QVERIFY(saved.startsWith(QStringLiteral("<config versionNo=\"Vellumdex V4\"")));
        QVERIFY(saved.contains(QStringLiteral("max=\"False\"")));
        QVERIFY(saved.contains(QStringLiteral("height=\"640\" width=\"950\"")));
        QVERIFY(saved.contains(QStringLiteral("col3=\"66\"")));
        QVERIFY(
            saved.contains(QStringLiteral("Name=\"FileName\" Visible=\"True\" Index=\"1\" "
                                          "DefaultExport=\"True\" Width=\"222\"")));
        QVERIFY(
            saved.contains(QStringLiteral("Name=\"MP3_Title\" Visible=\"False\" Index=\"2\" "
                                          "DefaultExport=\"True\" Width=\"143\"")));
        QVERIFY(saved.contains(QStringLiteral("Name=\"MP3_Artist\" Visible=\"True\" Index=\"0\"")));

        UseConfigDirectory(base.Path());
        {
            auto main = StartMain();
            QCOMPARE(main->size(), QSize(950, 640));
            QHeaderView* header = main->VT()->header();
            QCOMPARE(header->sectionSize(0), 222);
            QVERIFY(header->isSectionHidden(1));
            QCOMPARE(header->visualIndex(2), 0);
            QCOMPARE(header->visualIndex(0), 1);
            QCOMPARE(main->FrmCatTree()->VTLib()->columnWidth(2), 66);
            QCOMPARE(main->VLE()->columnWidth(0), 120);
            // Quitting while maximized stores it; the next start is maximized again.
            main->showMaximized();
            QCoreApplication::processEvents();
            main->close();
        }
        QVERIFY(ReadText(base.Path() + QStringLiteral("/VellumdexConfig.xml"))
                    .contains(QStringLiteral("max=\"True\"")));
        UseConfigDirectory(base.Path());
        auto main = StartMain();
        QVERIFY(main->isMaximized());
    }

    void libraryClicks() {
        TFreshBase base;
        const QString catalog =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        WriteFile(base.Library(), QStringLiteral("Mp3/jazz.best.xml"),
                  SampleCatalog(QStringLiteral("/e/Jazz")));
        auto main = StartMain();

        ClickLibrary(*main, QStringLiteral("rock"));
        QCOMPARE(main->CurrentCatalog, catalog);
        QCOMPARE(main->ContentTree().TopLevelCount(), 1);
        const TCatalogNode* music = main->ContentTree().TopLevel(0);
        QVERIFY(main->VT()->isExpanded(main->ContentModel()->IndexOf(music)));
        // Sorted by FileName ascending (the initial sort field), folders first.
        QCOMPARE(ChildNames(music), (QStringList{"Live", "b.MP3", "c.txt"}));
        QCOMPARE(main->VLE()->Model().Entries().front().Value, QStringLiteral("rock"));
        QVERIFY(!main->DetailEditable);

        // The same catalog again is not reloaded: a change on disk is not seen.
        WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"),
                  SampleCatalog(QStringLiteral("/x")));
        ClickLibrary(*main, QStringLiteral("rock"));
        QCOMPARE(Text(main->ContentTree().TopLevel(0), FullPath), QStringLiteral("/d/Music"));

        // A group empties the view; the same catalog after it is read again.
        ClickLibrary(*main, QStringLiteral("Mp3"));
        QVERIFY(main->CurrentCatalog.isEmpty());
        QVERIFY(main->ContentTree().IsEmpty());
        QCOMPARE(main->VLE()->Model().Entries().front().Value, QStringLiteral("Mp3"));
        ClickLibrary(*main, QStringLiteral("rock"));
        QCOMPARE(Text(main->ContentTree().TopLevel(0), FullPath), QStringLiteral("/x"));

        ClickLibrary(*main, QStringLiteral("jazz"));
        QCOMPARE(Text(main->ContentTree().TopLevel(0), FullPath), QStringLiteral("/e/Jazz"));

        // Nothing focused: everything is emptied.
        main->DetailEditable = true;
        main->FrmCatTree()->VTLib()->selectionModel()->clearCurrentIndex();
        IgnoreException([&] { main->LibraryClick(); });
        QVERIFY(main->ContentTree().IsEmpty());
        QCOMPARE(main->VLE()->Model().rowCount(), 0);
        QVERIFY(main->CurrentCatalog.isEmpty());
        QVERIFY(!main->DetailEditable);
    }

    void brokenCatalogLeavesEverythingAsItWas() {
        TFreshBase base;
        const QString good =
            WriteFile(base.Library(), QStringLiteral("Mp3/good.xml"), SampleCatalog());
        WriteFile(base.Library(), QStringLiteral("Mp3/broken.xml"),
                  QByteArray("<fileinfo><file FileName="));
        auto main = StartMain();
        TRecordingProgress progress;
        main->UseProgress(progress);
        ClickLibrary(*main, QStringLiteral("good"));
        main->VT()->setCurrentIndex(
            main->ContentModel()->IndexOf(ContentNode(*main, QStringLiteral("c.txt"))));
        QVERIFY(main->DetailEditable);
        const auto rowsBefore = main->VLE()->Model().Entries();

        ClickLibrary(*main, QStringLiteral("broken"));
        QCOMPARE(main->CurrentCatalog, good);
        QVERIFY(ContentNode(*main, QStringLiteral("c.txt")));
        QCOMPARE(main->VLE()->Model().Entries().front().Value, rowsBefore.front().Value);
        QVERIFY(!main->DetailEditable);
        QVERIFY(main->StatusPanel()->text().startsWith(QStringLiteral("Cannot open catalog: ")));
        QVERIFY(main->StatusPanel()->text().contains(QStringLiteral("broken.xml")));
        QVERIFY(!progress.visible);
        // Hints still reach the status bar afterwards, once the mouse moves.
        QCursor::setPos(QCursor::pos() + QPoint(7, 7));
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(main->VT(), &enter);
        QCOMPARE(main->StatusPanel()->text(), QStringLiteral("Catalog file items"));
    }

    void sortingRules() {
        TFreshBase base;
        WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        WriteFile(base.Library(), QStringLiteral("Mp3/other.xml"),
                  SampleCatalog(QStringLiteral("/o")));
        auto main = StartMain();
        ClickLibrary(*main, QStringLiteral("rock"));
        const TCatalogNode* music = main->ContentTree().TopLevel(0);
        TCatalogNode* selected = ContentNode(*main, QStringLiteral("b.MP3"));
        main->VT()->setCurrentIndex(main->ContentModel()->IndexOf(selected));

        // First click: ascending; sizes as numbers, folders first.
        main->ContentHeaderClick(ColumnOf(*main, QStringLiteral("FileSize")));
        QCOMPARE(main->SortField, static_cast<int>(FileSize));
        QCOMPARE(ChildNames(music), (QStringList{"Live", "c.txt", "b.MP3"}));
        QCOMPARE(main->VT()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        // The selection follows its item through the sort.
        QCOMPARE(TCatalogModel::NodeOf(main->VT()->currentIndex()), selected);

        // Every later click flips, also on another column; folders stay first.
        main->ContentHeaderClick(ColumnOf(*main, QStringLiteral("FileTime")));
        QCOMPARE(ChildNames(music),
                 (QStringList{"Live", "c.txt", "b.MP3"}));  // empty time last when descending
        main->ContentHeaderClick(ColumnOf(*main, QStringLiteral("FileTime")));
        QCOMPARE(ChildNames(music), (QStringList{"Live", "b.MP3", "c.txt"}));
        main->ContentHeaderClick(ColumnOf(*main, QStringLiteral("FileName")));
        QCOMPARE(main->VT()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(ChildNames(music), (QStringList{"Live", "c.txt", "b.MP3"}));

        // A catalog opened next is shown sorted the same way.
        ClickLibrary(*main, QStringLiteral("other"));
        QCOMPARE(ChildNames(main->ContentTree().TopLevel(0)),
                 (QStringList{"Live", "c.txt", "b.MP3"}));

        // A left click on the header sorts; the right button opens the column choice instead.
        QHeaderView* header = main->VT()->header();
        const QPoint titlePoint(header->sectionViewportPosition(1) + 10, header->height() / 2);
        QVERIFY2(header->isVisible() && header->viewport()->rect().contains(titlePoint),
                 qPrintable(QStringLiteral("%1,%2 in %3x%4")
                                .arg(titlePoint.x())
                                .arg(titlePoint.y())
                                .arg(header->viewport()->width())
                                .arg(header->viewport()->height())));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, titlePoint);
        QCOMPARE(main->SortField, static_cast<int>(MP3_Title));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        bool dialogSeen = false;
        WhenModalOpens([&dialogSeen](QWidget* modal) {
            dialogSeen = qobject_cast<TFMConfig*>(modal) != nullptr;
            qobject_cast<QDialog*>(modal)->reject();
        });
        const QPoint namePoint(header->sectionViewportPosition(0) + 10, header->height() / 2);
        QTest::mousePress(header->viewport(), Qt::RightButton, {}, namePoint);
        QTest::mouseRelease(header->viewport(), Qt::RightButton, {}, namePoint);
        QVERIFY(dialogSeen);
        QCOMPARE(main->SortField, static_cast<int>(MP3_Title));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    }

    void renameAndDescriptionAreSaved() {
        TFreshBase base;
        const QString file =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        auto main = StartMain();
        TRecordingProgress progress;
        main->UseProgress(progress);
        ClickLibrary(*main, QStringLiteral("rock"));
        progress.texts.clear();

        TCatalogNode* live = ContentNode(*main, QStringLiteral("Live"));
        QVERIFY(main->ContentModel()->setData(main->ContentModel()->IndexOf(live, 0),
                                              QStringLiteral("Concerts"), Qt::EditRole));
        QCOMPARE(Text(live, FileName), QStringLiteral("Concerts"));
        QCOMPARE(Text(live, FullPath), QStringLiteral("/d/Music/Concerts"));
        QCOMPARE(Text(live, PathNameLength), QStringLiteral("17"));
        QCOMPARE(Text(live, FileNameLength), QStringLiteral("8"));
        const TCatalogNode* song = live->Child(0);
        QCOMPARE(Text(song, FullPath), QStringLiteral("/d/Music/Concerts/a.mp3"));
        QCOMPARE(Text(song, PathNameLength), QStringLiteral("23"));
        QVERIFY(ReadText(file).contains(QStringLiteral("FullPath=\"/d/Music/Concerts/a.mp3\"")));
        // "Saving info...", then the engine's "Gathering info..", hidden before the write.
        QCOMPARE(progress.texts.value(0), QStringLiteral("Saving info..."));
        QCOMPARE(progress.texts.value(1), QStringLiteral("Gathering info.."));
        QVERIFY(!progress.visible);
        // The detail panel was refilled with the edited item.
        QCOMPARE(main->VLE()->Model().Entries().front().Value, QStringLiteral("Concerts"));

        // Typing into the Description cell with F2.
        TCatalogNode* notes = ContentNode(*main, QStringLiteral("c.txt"));
        const int description = ColumnOf(*main, QStringLiteral("Description"));
        main->VT()->setFocus();
        main->VT()->setCurrentIndex(main->ContentModel()->IndexOf(notes, description));
        QTest::keyClick(main->VT(), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Live"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Text(notes, Description), QStringLiteral("Live"));
        QVERIFY(ReadText(file).contains(QStringLiteral("Description=\"Live\"")));
        QCOMPARE(TCatalogModel::HintText(Description, notes->Item()),
                 QStringLiteral("Live (Press F2 on the keyboard to edit Description)"));

        // Read-only columns open no editor.
        main->VT()->setCurrentIndex(
            main->ContentModel()->IndexOf(notes, ColumnOf(*main, QStringLiteral("FileSize"))));
        QTest::keyClick(main->VT(), Qt::Key_F2);
        QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    }

    void failedSaveWarnsAndKeepsTheEdit() {
        TFreshBase base;
        WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        auto main = StartMain();
        TScriptedPrompt prompt;
        TRecordingProgress progress;
        main->UsePrompt(prompt);
        main->UseProgress(progress);
        ClickLibrary(*main, QStringLiteral("rock"));
        // The folder of the catalog disappears: the save cannot be written.
        QVERIFY(QDir(base.Library()).rename(QStringLiteral("Mp3"), QStringLiteral("Gone")));
        TCatalogNode* notes = ContentNode(*main, QStringLiteral("c.txt"));
        main->EditItemField(notes, Description, QStringLiteral("kept"));
        QCOMPARE(Text(notes, Description), QStringLiteral("kept"));
        QCOMPARE(prompt.titles, QStringList{QStringLiteral("Warning")});
        QCOMPARE(prompt.messages.size(), 1);
        QVERIFY(!prompt.messages.front().isEmpty());
        QVERIFY(!progress.visible);
        QVERIFY(!QFileInfo::exists(base.Library() + QStringLiteral("/Mp3/rock.xml")));
        QVERIFY(!ReadText(base.Library() + QStringLiteral("/Gone/rock.xml"))
                     .contains(QStringLiteral("kept")));
    }

    void editingResultsAsksForAFile() {
        TFreshBase base;
        auto main = StartMain();
        TScriptedPrompt prompt;
        main->UsePrompt(prompt);
        // A search result: top-level hits without a catalog behind them.
        TCatalogNode* hit = main->ContentTree().AppendChild();
        hit->Item().SetField(FileName, "x.mp3");
        hit->Item().SetField(FullPath, "/a/b/x.mp3");
        hit->Item().SetField(FileType, "file");
        const QString target = base.Path() + QStringLiteral("/results.xml");
        prompt.fileAnswers = {target, target};

        main->EditItemField(hit, FileName, QStringLiteral("y.mp3"));
        QCOMPARE(Text(hit, FullPath), QStringLiteral("y.mp3"));
        QCOMPARE(prompt.fileQuestions.size(), size_t{1});
        QVERIFY(prompt.fileQuestions.front().save);
        QVERIFY(ReadText(target).contains(QStringLiteral("FileName=\"y.mp3\"")));

        // The file exists now: the overwrite question comes first; No keeps the file.
        prompt.yesNoAnswers = {false};
        main->EditItemField(hit, Description, QStringLiteral("new"));
        QCOMPARE(prompt.questions, QStringList{kOverwriteQuestion});
        QVERIFY(!ReadText(target).contains(QStringLiteral("new")));
    }

    void detailPanelRowsAndEditability() {
        TFreshBase base;
        const QString file =
            WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        auto main = StartMain();
        TDetailModel& detail = main->VLE()->Model();
        ClickLibrary(*main, QStringLiteral("rock"));
        QStringList keys;
        for (const DetailEntry& entry : detail.Entries()) {
            keys << entry.Key;
        }
        QCOMPARE(keys, (QStringList{
                           "FileName",      "MP3_Title",      "MP3_Artist",      "MP3_Album",
                           "MP3_Year",      "MP3_Comment",    "MP3_Genre",       "FullPath",
                           "FileSize",      "FileTime",       "FileExt",         "FileType",
                           "Description",   "FileNameLength", "PathNameLength",  "SizePercentage",
                           "DiskName",      "MP3_Track",      "MP3_Disc",        "MP3_AlbumArtist",
                           "AudioDuration", "AudioBitrate",   "AudioSampleRate", "AudioChannels",
                           "AudioCodec",    "AudioMode",      "ID3Mismatch"}));
        // A library node: nothing editable, nothing highlighted, plain hints.
        for (int row = 0; row < detail.rowCount(); ++row) {
            QVERIFY(!(detail.flags(detail.index(row, 1)) & Qt::ItemIsEditable));
            QVERIFY(!detail.data(detail.index(row, 1), Qt::BackgroundRole).isValid());
        }
        QCOMPARE(detail.data(detail.index(0, 1), Qt::ToolTipRole).toString(),
                 QStringLiteral("rock"));
        QCOMPARE(detail.data(detail.index(15, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("100.00%"));

        TCatalogNode* song = ContentNode(*main, QStringLiteral("b.MP3"));
        main->VT()->setCurrentIndex(main->ContentModel()->IndexOf(song));
        QVERIFY(main->DetailEditable);
        QCOMPARE(detail.data(detail.index(0, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("b.MP3"));
        QCOMPARE(detail.data(detail.index(8, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("9.77 KB"));
        QVERIFY(detail.flags(detail.index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(detail.flags(detail.index(12, 1)) & Qt::ItemIsEditable);
        QVERIFY(!(detail.flags(detail.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!(detail.flags(detail.index(8, 1)) & Qt::ItemIsEditable));
        QCOMPARE(detail.data(detail.index(0, 1), Qt::BackgroundRole).value<QBrush>().color(),
                 EditableCellColour());
        QCOMPARE(detail.data(detail.index(0, 1), Qt::ToolTipRole).toString(),
                 QStringLiteral("b.MP3 (Press F2 on the keyboard to edit FileName)"));
        QCOMPARE(detail.data(detail.index(1, 0), Qt::ToolTipRole).toString(),
                 QStringLiteral("MP3_Title"));

        // Editing a value in the panel edits the item and saves the catalog; only the
        // edited row changes.
        QVERIFY(detail.setData(detail.index(0, 1), QStringLiteral("d.MP3"), Qt::EditRole));
        QCOMPARE(Text(song, FileName), QStringLiteral("d.MP3"));
        QCOMPARE(Text(song, FullPath), QStringLiteral("/d/Music/d.MP3"));
        QCOMPARE(detail.data(detail.index(0, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("d.MP3"));
        QCOMPARE(detail.data(detail.index(7, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("/d/Music/b.MP3"));
        QVERIFY(ReadText(file).contains(QStringLiteral("FullPath=\"/d/Music/d.MP3\"")));
        QVERIFY(!detail.setData(detail.index(8, 1), QStringLiteral("1"), Qt::EditRole));

        // Clearing the selection empties the rows and keeps DetailEditable.
        main->VT()->selectionModel()->clearSelection();
        QCOMPARE(detail.rowCount(), 0);
        QVERIFY(main->DetailEditable);
    }

    void visibleColumnsDialog() {
        TFreshBase base;
        const QString configFile = base.Path() + QStringLiteral("/VellumdexConfig.xml");
        auto main = StartMain();
        {
            TFMConfig dialog(main.get());
            dialog.show();
            QListWidget* list = dialog.CheckList();
            QCOMPARE(list->count(), FieldCount);
            QStringList unticked;
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->checkState() == Qt::Unchecked) {
                    unticked << list->item(i)->text();
                }
            }
            QCOMPARE(unticked,
                     (QStringList{"FileType", "FileNameLength", "PathNameLength", "SizePercentage",
                                  "MP3_Disc", "MP3_AlbumArtist", "AudioSampleRate", "AudioChannels",
                                  "AudioCodec", "AudioMode", "ID3Mismatch"}));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Config visible columns"));
            QCOMPARE(dialog.size(), QSize(217, 280));
        }
        const QByteArray before = ReadFile(configFile);

        // Cancel after changing ticks changes nothing; the close box counts as Cancel.
        for (const bool useCloseBox : {false, true}) {
            WhenModalOpens([useCloseBox](QWidget* modal) {
                auto* dialog = qobject_cast<TFMConfig*>(modal);
                dialog->CheckList()->item(0)->setCheckState(Qt::Unchecked);
                if (useCloseBox) {
                    dialog->close();
                } else {
                    QTest::mouseClick(dialog->BtnCancel(), Qt::LeftButton);
                }
            });
            main->ConfigureVisibleColumns();
            QCOMPARE(ReadFile(configFile), before);
            QVERIFY(!main->VT()->header()->isSectionHidden(0));
        }

        // OK with every tick removed hides every column and saves the file.
        WhenModalOpens([](QWidget* modal) {
            auto* dialog = qobject_cast<TFMConfig*>(modal);
            for (int i = 0; i < dialog->CheckList()->count(); ++i) {
                dialog->CheckList()->item(i)->setCheckState(Qt::Unchecked);
            }
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        main->ConfigureVisibleColumns();
        for (int i = 0; i < FieldCount; ++i) {
            QVERIFY(main->VT()->header()->isSectionHidden(i));
        }
        const QString saved = ReadText(configFile);
        QVERIFY(!saved.contains(QStringLiteral("Visible=\"True\"")));
        QCOMPARE(saved.count(QStringLiteral("Visible=\"False\"")), FieldCount);
    }

    void columnModelVariants() {
        TFreshBase base;
        std::string text = DefaultConfigText();
        auto replace = [&text](const std::string& from, const std::string& to) {
            text.replace(text.find(from), from.size(), to);
        };
        // Description read-only, FileExt aligned "Right" (not "right"), MP3_Year renamed.
        replace(
            "Name=\"Description\" Visible=\"True\" Index=\"12\" DefaultExport=\"True\" "
            "Width=\"124\" ReadOnly=\"False\"",
            "Name=\"Description\" Visible=\"True\" Index=\"12\" DefaultExport=\"True\" "
            "Width=\"124\" ReadOnly=\"True\"");
        replace("Width=\"66\" ReadOnly=\"True\" Align=\"right\"",
                "Width=\"66\" ReadOnly=\"True\" Align=\"Right\"");
        replace("Name=\"MP3_Year\"", "Name=\"Year\"");
        WriteFile(base.Path(), QStringLiteral("VellumdexConfig.xml"),
                  QByteArray::fromStdString(text));
        WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        UseConfigDirectory(base.Path());
        auto main = StartMain();
        ClickLibrary(*main, QStringLiteral("rock"));
        TCatalogModel* model = main->ContentModel();
        const QModelIndex notes = model->IndexOf(ContentNode(*main, QStringLiteral("c.txt")));
        const int description = ColumnOf(*main, QStringLiteral("Description"));
        QVERIFY(!(model->flags(notes.siblingAtColumn(description)) & Qt::ItemIsEditable));
        QCOMPARE(model->data(notes.siblingAtColumn(description), Qt::BackgroundRole)
                     .value<QBrush>()
                     .color(),
                 kReadOnlyCellColour);
        QCOMPARE(model->data(notes.siblingAtColumn(0), Qt::BackgroundRole).value<QBrush>().color(),
                 EditableCellColour());
        const int ext = ColumnOf(*main, QStringLiteral("FileExt"));
        QCOMPARE(
            model->data(notes.siblingAtColumn(ext), Qt::TextAlignmentRole).value<Qt::Alignment>(),
            Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(model
                     ->data(notes.siblingAtColumn(ColumnOf(*main, QStringLiteral("FileSize"))),
                            Qt::TextAlignmentRole)
                     .value<Qt::Alignment>(),
                 Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(model
                     ->data(notes.siblingAtColumn(ColumnOf(*main, QStringLiteral("Year"))),
                            Qt::DisplayRole)
                     .toString(),
                 QStringLiteral("c.txt"));
        // Still editable in the detail panel while the item is selected.
        main->VT()->setCurrentIndex(notes);
        TDetailModel& detail = main->VLE()->Model();
        QVERIFY(detail.flags(detail.index(12, 1)) & Qt::ItemIsEditable);
    }

    void fileDialogFilters() {
        QCOMPARE(QtFileFilter(QStringLiteral("XML File|*.XML")),
                 QStringLiteral("XML File (*.XML *.xml)"));
        QCOMPARE(QtFileFilter(QStringLiteral("CSV File|*.csv|All|*.*")),
                 QStringLiteral("CSV File (*.csv);;All (*.*)"));
        QCOMPARE(WithDefaultExtension(QStringLiteral("/a/b"), QStringLiteral("xml")),
                 QStringLiteral("/a/b.xml"));
        QCOMPARE(WithDefaultExtension(QStringLiteral("/a.d/b.html"), QStringLiteral("xml")),
                 QStringLiteral("/a.d/b.html"));
        QCOMPARE(WithDefaultExtension(QString(), QStringLiteral("xml")), QString());
        QCOMPARE(CannotOpenCatalogText(QStringLiteral("Cannot open catalog /x.xml: bad at byte 3")),
                 QStringLiteral("Cannot open catalog: /x.xml: bad at byte 3"));
    }

    void modelsPassTheModelTester() {
        TFreshBase base;
        WriteFile(base.Library(), QStringLiteral("Mp3/rock.xml"), SampleCatalog());
        WriteFile(base.Library(), QStringLiteral("DVD/film.xml"),
                  SampleCatalog(QStringLiteral("/f")));
        auto main = StartMain();
        QAbstractItemModelTester contentTester(
            main->ContentModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester libraryTester(
            main->FrmCatTree()->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester detailTester(
            &main->VLE()->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        ClickLibrary(*main, QStringLiteral("rock"));
        main->ContentHeaderClick(0);
        main->ContentHeaderClick(ColumnOf(*main, QStringLiteral("FileSize")));
        main->VT()->expandAll();
        main->VT()->setCurrentIndex(
            main->ContentModel()->IndexOf(ContentNode(*main, QStringLiteral("a.mp3"))));
        main->EditItemField(ContentNode(*main, QStringLiteral("Live")), FileName,
                            QStringLiteral("Zed"));
        TCatalogNode* extra = main->ContentTree().AppendChild(main->ContentTree().TopLevel(0));
        main->ContentTree().DeleteNode(extra);
        main->FrmCatTree()->HeaderClick(2);
        main->FrmCatTree()->LoadLibraryTree(QString(), true);
        ClickLibrary(*main, QStringLiteral("DVD"));
    }
};

QTEST_MAIN(TMainWindowTest)
#include "MainWindowTest.moc"
