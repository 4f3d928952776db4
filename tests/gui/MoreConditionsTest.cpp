// The search dialog's "More conditions" panel and the "Find Duplicates" command.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "DialogTestSupport.h"
#include "core/config/Config.h"
#include "gui/search/DuplicatesDialog.h"
#include "gui/search/SearchConditionsPanel.h"
#include "gui/search/SearchDialog.h"
#include "gui/shell/CatalogModel.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

QByteArray SongsCatalog(const QString& disk, const QStringList& rows) {
    QString text = QStringLiteral(
                       "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo>"
                       "<file FileName=\"%1\" FullPath=\"/m/%1\" FileType=\"directory\" "
                       "FileSize=\"1\">")
                       .arg(disk);
    for (const QString& row : rows) {
        const QStringList f = row.split(QLatin1Char('|'));  // name|size|artist|title|year
        text += QStringLiteral(
                    "<file FileName=\"%1\" FullPath=\"/m/%1\" FileType=\"file\" FileSize=\"%2\" "
                    "MP3_Artist=\"%3\" MP3_Title=\"%4\" MP3_Year=\"%5\" Description=\"own\"/>")
                    .arg(f[0], f[1], f[2], f[3], f[4]);
    }
    return (text + QStringLiteral("</file></fileinfo>")).toUtf8();
}

void MakeLibrary(const QString& library) {
    WriteFile(library, QStringLiteral("Rock/One.xml"),
              SongsCatalog(QStringLiteral("One"), {QStringLiteral("a.mp3|100|The Band|Night|1994"),
                                                   QStringLiteral("b.mp3|2000000|Solo|Day|2005")}));
    WriteFile(library, QStringLiteral("Pop/Two.xml"),
              SongsCatalog(QStringLiteral("Two"), {QStringLiteral("a.mp3|100|the band|NIGHT|1994"),
                                                   QStringLiteral("c.mp3|7|Other|Day|1980")}));
}

}  // namespace

class TMoreConditionsTest : public QObject {
    Q_OBJECT

private slots:
    void panelIsRememberedAndAddsConditions() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        GetConfig().ConfigRoot().SetMoreSearchConditions(false);
        {
            TFMSearch dialog(prompt);
            dialog.show();
            QVERIFY(!dialog.PnlMoreConditions()->isVisible());
            QCOMPARE(dialog.size(), QSize(529, 313));
            dialog.ChkMore()->setChecked(true);
            QVERIFY(dialog.PnlMoreConditions()->isVisible());
            QVERIFY(dialog.height() > 313);
        }
        QVERIFY(GetConfig().ConfigRoot().MoreSearchConditions());
        TFMSearch again(prompt);
        QVERIFY(again.ChkMore()->isChecked());

        // Only panel conditions: accepted; an invalid expression or size is refused with
        // its error and the dialog stays open.
        WhenDialogOpens<TFMSearch>([&](TFMSearch* dialog) {
            TSearchConditionsPanel* panel = dialog->PnlMoreConditions();
            QTest::keyClicks(panel->TextEdit(MP3_Title), QStringLiteral("(night"));
            panel->CbMode()->setCurrentIndex(3);
            QTest::mouseClick(dialog->BitBtn1(), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            QVERIFY(prompt.messages.last().contains(QStringLiteral("missing )")));
            panel->TextEdit(MP3_Title)->setText(QStringLiteral("^night$"));
            panel->EdMinSize()->setText(QStringLiteral("lots"));
            QTest::mouseClick(dialog->BitBtn1(), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            panel->EdMinSize()->clear();
            for (QLineEdit* edit :
                 {panel->EdMinDuration(), panel->EdMaxBitrate(), panel->EdTrack()}) {
                edit->setText(QStringLiteral("1:75"));
                QTest::mouseClick(dialog->BitBtn1(), Qt::LeftButton);
                QVERIFY(dialog->isVisible());
                QVERIFY(prompt.messages.last().startsWith(QStringLiteral("Please input")));
                edit->clear();
            }
            panel->EdYearRange()->setText(QStringLiteral("1990-1999"));
            QTest::mouseClick(dialog->BitBtn1(), Qt::LeftButton);
        });
        main->SearchCommand();
        QStringList disks;
        for (int i = 0; i < main->ContentTree().TopLevelCount(); ++i) {
            disks << Text(main->ContentTree().TopLevel(i), DiskName);
        }
        disks.sort();
        QCOMPARE(disks, (QStringList{"One", "Two"}));
        QCOMPARE(main->findChild<QLabel*>(QStringLiteral("StatusContent"))->text(),
                 QStringLiteral("2 hits"));

        // With the panel hidden, its contents are not used: the search is the plain one.
        GetConfig().ConfigRoot().SetMoreSearchConditions(false);
        WhenDialogOpens<TFMSearch>([&](TFMSearch* dialog) {
            dialog->ChkMore()->setChecked(true);
            dialog->PnlMoreConditions()->TextEdit(MP3_Artist)->setText(QStringLiteral("solo"));
            dialog->ChkMore()->setChecked(false);
            QTest::keyClicks(dialog->EdFileName(), QStringLiteral(".mp3"));
            QTest::mouseClick(dialog->BitBtn1(), Qt::LeftButton);
        });
        main->SearchCommand();
        QCOMPARE(main->ContentTree().TopLevelCount(), 4);
    }

    void duplicatesFillTheViewWithGroupNumbers() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QCOMPARE(main->MenuOptions()->actions().at(1)->text(), QStringLiteral("Find Duplicates"));
        main->OpenCatalog(base.Library() + QStringLiteral("/Pop/Two.xml"));
        WhenDialogOpens<TFMDuplicates>([](TFMDuplicates* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Find Duplicates"));
            QCOMPARE(dialog->CbKey()->count(), 5);
            dialog->CbKey()->setCurrentIndex(2);  // artist and title
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        main->MenuOptions()->actions().at(1)->trigger();
        QVERIFY(main->CurrentCatalog.isEmpty());
        QCOMPARE(TopLevelNames(main->ContentTree()), (QStringList{"a.mp3", "a.mp3"}));

        TCatalogModel* model = main->ContentModel();
        int descriptionColumn = -1;
        for (int c = 0; c < model->columnCount(); ++c) {
            descriptionColumn = model->FieldOfColumn(c) == Description ? c : descriptionColumn;
        }
        QVERIFY(descriptionColumn >= 0);
        QCOMPARE(model->index(0, descriptionColumn).data().toString(), QStringLiteral("1"));
        QCOMPARE(model->index(1, descriptionColumn).data().toString(), QStringLiteral("1"));
        // The number lives in the view only; the items keep their own description.
        QCOMPARE(Text(main->ContentTree().TopLevel(0), Description), QStringLiteral("own"));
        QCOMPARE(main->findChild<QLabel*>(QStringLiteral("StatusContent"))->text(),
                 QStringLiteral("2 hits in 1 groups; extra copies take 100 bytes"));

        // Opening a catalog again drops the numbers.
        main->OpenCatalog(base.Library() + QStringLiteral("/Pop/Two.xml"));
        QCOMPARE(TopLevelNames(main->ContentTree()), QStringList{"Two"});
        QCOMPARE(model->index(0, descriptionColumn).data().toString(), QString());
    }
};

QTEST_MAIN(TMoreConditionsTest)
#include "MoreConditionsTest.moc"
