// What could not be read, as the desktop program tells it: in the update preview, and when a
// new catalog's scan ends.
#include <sys/stat.h>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "DialogTestSupport.h"
#include "core/scan/UpdateCatalog.h"
#include "gui/library/NewCatDialog.h"
#include "gui/library/UpdatePreviewDialog.h"
#include "support/FileRights.h"

using namespace melodrix;
using namespace melodrix::testing;

class TUpdatePreviewTest : public QObject {
    Q_OBJECT

private slots:
    void unreadableItemsComeFirstAndEachIsNamed() {
        TCatalogUpdate update;
        update.Folder = QStringLiteral("/media/usb");
        TCatalogChange added;
        added.FullPath = "/media/usb/new.mp3";
        update.Added.push_back(added);
        update.UnlistedFolders.push_back(
            {QStringLiteral("/media/usb/Locked"), "/media/usb/Locked", "Permission denied"});
        update.UnreadFiles.push_back(
            {QStringLiteral("/media/usb/bad.mp3"), "/media/usb/bad.mp3", "Input/output error"});
        TFMUpdatePreview preview(update, QStringLiteral("usb"));
        QCOMPARE(preview.Tabs()->count(), 4);
        QCOMPARE(preview.Tabs()->currentWidget(), preview.LstUnreadable());
        QCOMPARE(preview.Tabs()->tabText(0), QStringLiteral("Could not be read (2)"));
        QTreeWidget* list = preview.LstUnreadable();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("folder /media/usb/Locked"));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("Permission denied"));
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("file /media/usb/bad.mp3"));
        QVERIFY(preview.LblCounts()->text().contains(
            QStringLiteral("Could not be read, kept as they are: folders 1, files 1")));

        // Without any, the preview is as it was.
        TCatalogUpdate plain;
        plain.Folder = update.Folder;
        TFMUpdatePreview clean(plain, QStringLiteral("usb"));
        QCOMPARE(clean.Tabs()->count(), 3);
        QVERIFY(!clean.LblCounts()->text().contains(QStringLiteral("Could not be read")));
    }

    void aNewCatalogsScanEndsWithAWarningNamingWhatItCouldNotRead() {
        TFreshBase base;
        const QString folder = base.Path() + QStringLiteral("/Music");
        WriteFile(folder, QStringLiteral("a.mp3"), QByteArray(300, '\x11') + Id3v1Tag("A", "B"));
        WriteFile(folder, QStringLiteral("Locked/b.mp3"), QByteArray(300, '\x11'));
        const QByteArray locked = QFile::encodeName(folder + QStringLiteral("/Locked"));
        QCOMPARE(::chmod(locked.constData(), 0), 0);
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        WhenDialogOpens<TFMNewCat>([folder](TFMNewCat* dialog) {
            dialog->BrowseForFolder = [folder](QWidget*, const QString&) { return folder; };
            QTest::mouseClick(dialog->SpeedButton1(), Qt::LeftButton);
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        {
            const TFileRightsAsBitsSay rights;
            QVERIFY(rights.Holds());
            main->NewCatalogCommand();
        }
        ::chmod(locked.constData(), 0755);
        QCOMPARE(prompt.titles, QStringList{QStringLiteral("Warning")});
        QCOMPARE(prompt.messages.size(), 1);
        QVERIFY2(prompt.messages[0].contains(
                     QStringLiteral("Could not list the folder %1/Locked: Permission denied")
                         .arg(folder)),
                 qPrintable(prompt.messages[0]));
        // The catalog is written all the same, with what could be read.
        QVERIFY(FindNode(main->ContentTree(), QStringLiteral("a.mp3")));
        QVERIFY(QFileInfo::exists(main->CurrentCatalog));

        // A folder that cannot be listed at all makes no catalog: an existing one stays.
        const QString catalog = main->CurrentCatalog;
        const QByteArray before = ReadFile(catalog);
        const QByteArray whole = QFile::encodeName(folder);
        WhenDialogOpens<TFMNewCat>([folder](TFMNewCat* dialog) {
            dialog->BrowseForFolder = [folder](QWidget*, const QString&) { return folder; };
            QTest::mouseClick(dialog->SpeedButton1(), Qt::LeftButton);
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        prompt.yesNoAnswers = {true};  // replace the catalog of the same name
        QCOMPARE(::chmod(whole.constData(), 0), 0);
        {
            const TFileRightsAsBitsSay rights;
            main->NewCatalogCommand();
        }
        ::chmod(whole.constData(), 0755);
        QVERIFY2(prompt.messages.last().contains(
                     QStringLiteral("Cannot read the folder %1: Permission denied").arg(folder)),
                 qPrintable(prompt.messages.last()));
        QCOMPARE(ReadFile(catalog), before);
        QVERIFY(main->CurrentCatalog.isEmpty());
        QCOMPARE(main->ContentTree().TopLevelCount(), 0);
    }
};

QTEST_MAIN(TUpdatePreviewTest)
#include "UpdatePreviewTest.moc"
