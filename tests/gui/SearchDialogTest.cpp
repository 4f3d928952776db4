// The search dialog and the search command: scope, conditions, each option, cancel and
// files of the library that are not catalogs.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "gui/search/SearchConditionsPanel.h"
#include "gui/search/SearchDialog.h"
#include "gui/shell/WaitForm.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// Rock/Mix.xml: names with "rock" in several cases; Rock/Old/Jazz.xml one level deeper;
// Pop/Hits.xml with descriptions.
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
                   {QStringLiteral("c.mp3"), QStringLiteral("mp3"), QStringLiteral("live")},
                   {QStringLiteral("two  blanks"), QStringLiteral("txt"), {}}}));
}

struct TQuery {
    QString scope;  // library node name; empty: the library root
    QString name;
    QString ext = {};
    QString description = {};
    bool caseSensitive = false;
    bool wholeWords = false;
};

// Runs the search command with the dialog filled in as a user would.
QStringList Search(TFMMain& main, const TQuery& query) {
    bool refused = false;
    WhenDialogOpens<TFMSearch>([query, &refused](TFMSearch* dialog) {
        if (!query.scope.isEmpty()) {
            dialog->FrmCatTree()->FocusNode(FindNode(*dialog->FrmCatTree(), query.scope));
        }
        // The dialog offers the last search's conditions: they are replaced.
        for (QLineEdit* edit : {dialog->EdFileName(), dialog->EdExt(), dialog->EdDes()}) {
            edit->clear();
        }
        QTest::keyClicks(dialog->EdFileName(), query.name);
        QTest::keyClicks(dialog->EdExt(), query.ext);
        QTest::keyClicks(dialog->EdDes(), query.description);
        dialog->CheckBox1()->setChecked(query.caseSensitive);
        dialog->CheckBox2()->setChecked(query.wholeWords);
        QTest::mouseClick(dialog->BitBtn1(), Qt::LeftButton);
        if (dialog->isVisible()) {
            refused = true;
            dialog->reject();
        }
    });
    main.SearchCommand();
    if (refused) {
        return {QStringLiteral("<refused>")};
    }
    QStringList hits = TopLevelNames(main.ContentTree());
    hits.sort();
    return hits;
}

}  // namespace

class TSearchDialogTest : public QObject {
    Q_OBJECT

private slots:
    void dialogRefusesAnEmptySearch() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        TFMSearch dialog(prompt);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("File Search"));
        QCOMPARE(dialog.size(), QSize(529, 313));
        QCOMPARE(dialog.FrmCatTree()->width(), 281);
        QCOMPARE(dialog.CheckBox1()->text(), QStringLiteral("Case censitive"));
        QCOMPARE(dialog.CheckBox2()->text(), QStringLiteral("Whole words"));
        QVERIFY(!dialog.CheckBox1()->isChecked() && !dialog.CheckBox2()->isChecked());
        QCOMPARE(dialog.Memo1()->toPlainText(),
                 QStringLiteral(
                     "Select a group or catalog on the left to \ndefine the scope of search"));
        QCOMPARE(dialog.FrmCatTree()->FocusedNode(), dialog.FrmCatTree()->RootNode());
        QVERIFY(FindNode(*dialog.FrmCatTree(), QStringLiteral("Hits")));  // catalogs listed too

        QTest::keyClicks(dialog.EdExt(), QStringLiteral("   "));
        QTest::mouseClick(dialog.BitBtn1(), Qt::LeftButton);
        QCOMPARE(prompt.messages, QStringList{"Please input search condition."});
        QCOMPARE(prompt.titles, QStringList{"Warning"});
        QVERIFY(dialog.result() != QDialog::Accepted);
        QTest::keyClicks(dialog.EdDes(), QStringLiteral("live"));
        QTest::mouseClick(dialog.BitBtn1(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void searchOptionsAndScopes() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QVERIFY(main->ToolButton(QStringLiteral("BtnSearch"))->isEnabled());

        // An open catalog is left behind: the results are no catalog.
        main->OpenCatalog(base.Library() + QStringLiteral("/Pop/Hits.xml"));
        QVERIFY(!main->CurrentCatalog.isEmpty());
        QCOMPARE(Search(*main, {{}, QStringLiteral("rock")}),
                 (QStringList{"Hard Rock", "Hardrock", "ROCK", "Rock.mp3", "rock.mp3"}));
        QVERIFY(main->CurrentCatalog.isEmpty());
        // Flat: every hit is a top-level item, carrying the disk name of its catalog.
        const TCatalogNode* hit = FindNode(main->ContentTree(), QStringLiteral("Hard Rock"));
        QCOMPARE(hit->ChildCount(), 0);
        QCOMPARE(Text(hit, DiskName), QStringLiteral("Mix"));
        QCOMPARE(Text(hit, FullPath), QStringLiteral("/m/Mix/Hard Rock"));

        QCOMPARE(Search(*main, {{}, QStringLiteral("rock"), {}, {}, true}),
                 (QStringList{"Hardrock", "rock.mp3"}));
        QCOMPARE(Search(*main, {{}, {}, QStringLiteral("mp3")}).size(), 8);
        QCOMPARE(Search(*main, {{}, {}, QStringLiteral(".mp3")}), QStringList());
        QCOMPARE(Search(*main, {{}, QStringLiteral("song.mp3"), {}, {}, false, true}),
                 QStringList{"Song.MP3"});
        QCOMPARE(Search(*main, {{}, QStringLiteral("song.mp3"), {}, {}, true, true}),
                 QStringList());
        QCOMPARE(Search(*main, {{}, QStringLiteral("a"), {}, QStringLiteral("live")}),
                 QStringList{"a.mp3"});
        // Blanks alone are no condition; with text in another box they are used as typed.
        QCOMPARE(Search(*main, {{}, QStringLiteral("  "), QStringLiteral(" ")}),
                 QStringList{"<refused>"});
        QCOMPARE(
            Search(*main, {QStringLiteral("Hits"), QStringLiteral("  "), QStringLiteral("txt")}),
            QStringList{"two  blanks"});

        // A group includes its sub-groups; a catalog is searched alone.
        QCOMPARE(Search(*main, {QStringLiteral("Rock"), QStringLiteral("song")}),
                 (QStringList{"Song.MP3", "my song.mp3"}));
        QCOMPARE(Search(*main, {QStringLiteral("Pop"), QStringLiteral("song")}), QStringList());
        QCOMPARE(Search(*main, {QStringLiteral("Hits"), {}, QStringLiteral("MP3")}),
                 (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
        QVERIFY(main->StatusPanel()->text().isEmpty());
        // Hits are not sorted: they keep the order of the catalog.
        QCOMPARE(TopLevelNames(main->ContentTree()), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));

        // Cancel in the dialog leaves the view and the current catalog alone.
        main->OpenCatalog(base.Library() + QStringLiteral("/Pop/Hits.xml"));
        WhenDialogOpens<TFMSearch>([](TFMSearch* dialog) {
            QTest::keyClicks(dialog->EdFileName(), QStringLiteral("rock"));
            QTest::mouseClick(dialog->BitBtn2(), Qt::LeftButton);
        });
        main->SearchCommand();
        QCOMPARE(main->CurrentCatalog, base.Library() + QStringLiteral("/Pop/Hits.xml"));
        QCOMPARE(TopLevelNames(main->ContentTree()), QStringList{"Hits"});
    }

    void strayFilesAreNamedInTheStatusBar() {
        TFreshBase base;
        MakeLibrary(base.Library());
        const QString stray =
            WriteFile(base.Library(), QStringLiteral("Rock/notes.txt"), "not xml");
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        // The search goes on past the stray file.
        QCOMPARE(Search(*main, {QStringLiteral("Rock"), QStringLiteral("song")}),
                 (QStringList{"Song.MP3", "my song.mp3"}));
        QCOMPARE(main->StatusPanel()->text(),
                 QStringLiteral("Skipped 1 file that is not a catalog: ") + stray);
        WriteFile(base.Library(), QStringLiteral("Pop/broken.xml"), "<fileinfo><file");
        Search(*main, {{}, QStringLiteral("song")});
        QVERIFY(main->StatusPanel()->text().startsWith(
            QStringLiteral("Skipped 2 files that are not catalogs: ")));
        QVERIFY(main->StatusPanel()->text().contains(stray));
    }

    void cancelInTheProgressWindowStopsTheSearch() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QVERIFY(!Search(*main, {{}, QStringLiteral("mp3")}).isEmpty());

        // The Cancel button of the progress window is pressed as soon as the search
        // shows it and lets it handle input.
        bool pressed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&main, &pressed, &poll] {
            TWaitForm* wait = main->WaitForm();
            if (!wait->isVisible() || !wait->CancelVisible() || wait->MessageText().isEmpty()) {
                return;
            }
            poll.stop();
            for (QPushButton* button : wait->findChildren<QPushButton*>()) {
                if (button->isVisible()) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    pressed = true;
                }
            }
        });
        poll.start(0);
        main->WaitForm()->SetProgressText(QString());
        QCOMPARE(Search(*main, {{}, QStringLiteral("mp3")}), QStringList());
        QVERIFY(pressed);
        QVERIFY(!main->WaitForm()->isVisible());
    }

    // Which check box belongs to which conditions is shown by the boxes around them and said
    // by their tooltips; OK and Cancel come last, below the more conditions.
    void layoutTellsWhatBelongsWhere() {
        TFreshBase base;
        MakeLibrary(base.Library());
        GetConfig().ConfigRoot().SetMoreSearchConditions(true);
        TScriptedPrompt prompt;
        TFMSearch dialog(prompt);
        dialog.show();
        QCoreApplication::processEvents();
        auto* plain = dialog.findChild<QGroupBox*>(QStringLiteral("GrpConditions"));
        QVERIFY(plain);
        for (QWidget* inside :
             std::initializer_list<QWidget*>{dialog.EdFileName(), dialog.EdExt(), dialog.EdDes(),
                                             dialog.CheckBox1(), dialog.CheckBox2()}) {
            QVERIFY(plain->isAncestorOf(inside));
        }
        TSearchConditionsPanel* panel = dialog.PnlMoreConditions();
        QVERIFY(!plain->isAncestorOf(panel->CbMode()));
        QVERIFY(dialog.CheckBox2()->toolTip().contains(QStringLiteral("song.mp3")));
        QCOMPARE(panel->CbMode()->itemText(1), QStringLiteral("Whole value"));
        QVERIFY(panel->CbMode()
                    ->itemData(1, Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("whole text")));
        QVERIFY(!panel->CbMode()->toolTip().isEmpty());
        const auto top = [&](const QWidget* widget) {
            return widget->mapTo(&dialog, QPoint(0, 0)).y();
        };
        const int panelEnd = top(panel) + panel->height();
        QVERIFY(top(dialog.BitBtn1()) >= panelEnd);
        QVERIFY(top(dialog.BitBtn2()) >= panelEnd);
        QVERIFY(top(dialog.ChkMore()) < top(panel));
        QVERIFY(dialog.rect().contains(dialog.BitBtn1()->geometry()));
    }

    // The dialog opens with the conditions of the last search, in this run and the next; a
    // search that was cancelled leaves them as they were.
    void lastConditionsAreOfferedAgain() {
        TFreshBase base;
        MakeLibrary(base.Library());
        GetConfig().ConfigRoot().SetMoreSearchConditions(true);
        TScriptedPrompt prompt;
        {
            TFMSearch dialog(prompt);
            dialog.show();
            QCOMPARE(dialog.EdFileName()->text(), QString());
            QTest::keyClicks(dialog.EdFileName(), QStringLiteral("rock"));
            dialog.CheckBox1()->setChecked(true);
            TSearchConditionsPanel* panel = dialog.PnlMoreConditions();
            panel->TextEdit(MP3_Artist)->setText(QStringLiteral("the band"));
            panel->CbMode()->setCurrentIndex(1);
            panel->CbKind()->setCurrentIndex(1);
            panel->EdMinSize()->setText(QStringLiteral("1K"));
            panel->EdTrack()->setText(QStringLiteral("1-3"));
            panel->EdMinDuration()->setText(QStringLiteral("2:00"));
            panel->EdMaxBitrate()->setText(QStringLiteral("320"));
            panel->CbCodec()->setCurrentIndex(panel->CbCodec()->findText(QStringLiteral("FLAC")));
            panel->ChkAfter()->setChecked(true);
            panel->DtAfter()->setDate(QDate(2020, 1, 2));
            QTest::mouseClick(dialog.BitBtn1(), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        const auto expectRemembered = [](TFMSearch& dialog) {
            QCOMPARE(dialog.EdFileName()->text(), QStringLiteral("rock"));
            QCOMPARE(dialog.EdExt()->text(), QString());
            QVERIFY(dialog.CheckBox1()->isChecked());
            QVERIFY(!dialog.CheckBox2()->isChecked());
            TSearchConditionsPanel* panel = dialog.PnlMoreConditions();
            QCOMPARE(panel->TextEdit(MP3_Artist)->text(), QStringLiteral("the band"));
            QCOMPARE(panel->CbMode()->currentIndex(), 1);
            QCOMPARE(panel->CbKind()->currentIndex(), 1);
            QCOMPARE(panel->EdMinSize()->text(), QStringLiteral("1K"));
            QCOMPARE(panel->EdTrack()->text(), QStringLiteral("1-3"));
            QCOMPARE(panel->EdMinDuration()->text(), QStringLiteral("2:00"));
            QCOMPARE(panel->EdMaxBitrate()->text(), QStringLiteral("320"));
            QCOMPARE(panel->CbCodec()->currentText(), QStringLiteral("FLAC"));
            QVERIFY(panel->ChkAfter()->isChecked());
            QVERIFY(panel->DtAfter()->isEnabled());
            QCOMPARE(panel->DtAfter()->date(), QDate(2020, 1, 2));
            QVERIFY(!panel->ChkBefore()->isChecked());
        };
        {
            TFMSearch again(prompt);
            again.show();
            expectRemembered(again);
            // Changed, then cancelled: not remembered.
            again.EdFileName()->setText(QStringLiteral("jazz"));
            again.PnlMoreConditions()->EdMinSize()->clear();
            QTest::mouseClick(again.BitBtn2(), Qt::LeftButton);
        }
        // The next run reads them from the configuration file.
        UseConfigDirectory(base.Path());
        TFMSearch nextRun(prompt);
        nextRun.show();
        expectRemembered(nextRun);
    }
};

QTEST_MAIN(TSearchDialogTest)
#include "SearchDialogTest.moc"
