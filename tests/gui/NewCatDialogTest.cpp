// The new-catalog dialog and command: its checks, the folder browser and a real scan
// of tagged files into a new catalog of the library.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "core/catalog/Paths.h"
#include "core/catalog/Sinks.h"
#include "core/config/Config.h"
#include "core/library/Library.h"
#include "core/tags/MusicTagBuilders.h"
#include "gui/library/NewCatDialog.h"
#include "gui/shell/ContentView.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// A folder of music: two tagged MP3 files in a sub-folder, one untagged, a text file
// and a folder without music.
QString MakeMusicFolder(const QString& base) {
    const QString folder = base + QStringLiteral("/Music/Live.2004");
    WriteFile(folder, QStringLiteral("Set1/a.mp3"),
              QByteArray(300, '\x11') + Id3v1Tag("Song A", "Band"));
    WriteFile(folder, QStringLiteral("Set1/b.MP3"),
              QByteArray(500, '\x22') + Id3v1Tag("Song B", "Band"));
    WriteFile(folder, QStringLiteral("c.mp3"), QByteArray(64, '\x33'));
    WriteFile(folder, QStringLiteral("notes.txt"), "setlist");
    QDir().mkpath(folder + QStringLiteral("/Artwork"));
    WriteFile(folder, QStringLiteral("Artwork/cover.jpg"), "jpeg");
    return folder;
}

struct TBrowserScript {
    QStringList answers;   // taken from the front; exhausted: cancelled
    QStringList currents;  // the folders the browser was asked to preselect
    TFMNewCat::TFolderBrowser Browser() {
        return [this](QWidget*, const QString& current) {
            currents << current;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
    }
};

}  // namespace

class TNewCatDialogTest : public QObject {
    Q_OBJECT

private slots:
    void dialogChecksAndProposedName() {
        TFreshBase base;
        CreateDefaultLibrary(base.Library());
        const QString folder = MakeMusicFolder(base.Path());
        TScriptedPrompt prompt;
        TBrowserScript browser;
        TFMNewCat dialog(prompt);
        dialog.BrowseForFolder = browser.Browser();
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Create a new Catalog"));
        QCOMPARE(dialog.size(), QSize(466, 244));
        QVERIFY(dialog.RbMp3Files()->isChecked());
        QVERIFY(!dialog.RbAllMusicFiles()->isChecked());
        // The prompt is the field's placeholder: nothing to delete before typing.
        QVERIFY(dialog.EdName()->text().isEmpty());
        QCOMPARE(dialog.EdName()->placeholderText(), QStringLiteral("Input catalog name here."));
        QVERIFY(!dialog.EdFileName()->isReadOnly());
        QCOMPARE(dialog.SpeedButton1()->text(), QStringLiteral("Open &Dialog"));
        QVERIFY(!dialog.BtnOk()->isEnabled());

        // A cancelled browser still enables OK; the empty folder is refused.
        QTest::mouseClick(dialog.SpeedButton1(), Qt::LeftButton);
        QVERIFY(dialog.BtnOk()->isEnabled());
        QVERIFY(dialog.EdFileName()->text().isEmpty());
        QVERIFY(dialog.EdName()->text().isEmpty());
        QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
        QCOMPARE(prompt.messages, QStringList{"Please select the dialog to catalog first."});
        QCOMPARE(prompt.titles, QStringList{"Warning"});
        QVERIFY(dialog.isVisible());

        // A chosen folder proposes its name up to the first dot; a name the user typed stays.
        dialog.EdName()->setText(QStringLiteral("typed"));
        browser.answers << folder;
        QTest::mouseClick(dialog.SpeedButton1(), Qt::LeftButton);
        QCOMPARE(dialog.FolderPath, folder);
        QCOMPARE(dialog.EdFileName()->text(), folder);
        QCOMPARE(dialog.EdName()->text(), QStringLiteral("typed"));
        // Cancelling later keeps the folder, which the browser is asked to preselect; with
        // the name cleared, the folder's is proposed.
        dialog.EdName()->clear();
        QTest::mouseClick(dialog.SpeedButton1(), Qt::LeftButton);
        QCOMPARE(browser.currents, (QStringList{QString(), QString(), folder}));
        QCOMPARE(dialog.FolderPath, folder);
        QCOMPARE(dialog.EdName()->text(), QStringLiteral("Live"));

        prompt.messages.clear();
        dialog.EdName()->clear();
        QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
        QCOMPARE(prompt.messages, QStringList{"Please input the catalog name."});
        // Names that would leave the library or are no file names are refused.
        for (const QString& bad :
             {QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral(".")}) {
            prompt.messages.clear();
            dialog.EdName()->setText(bad);
            QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
            QCOMPARE(prompt.messages.size(), 1);
            QCOMPARE(prompt.titles.last(), QStringLiteral("Warning"));
            QVERIFY(dialog.isVisible());
        }
        QVERIFY(dialog.result() != QDialog::Accepted);

        // An existing catalog of that name asks first; No keeps the dialog open.
        WriteFile(base.Library(), QStringLiteral("Live.xml"), "old");
        dialog.EdName()->setText(QStringLiteral("Live"));
        prompt.yesNoAnswers = {false, true};
        QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
        QCOMPARE(prompt.questions,
                 QStringList{"Catalog with the same name already exists,overwrite?"});
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.CatalogFile.isEmpty());
        QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.CatalogFile, base.Library() + QStringLiteral("/Live.xml"));
        QVERIFY(!dialog.OnlyFolders);
        QCOMPARE(ReadFile(base.Library() + QStringLiteral("/Live.xml")), QByteArray("old"));
    }

    // A folder typed or pasted is checked when OK is pressed; the catalog goes into the group
    // chosen, which the next dialog offers first.
    void typedFolderAndGroup() {
        TFreshBase base;
        CreateDefaultLibrary(base.Library());
        const QString folder = MakeMusicFolder(base.Path());
        TScriptedPrompt prompt;
        {
            TFMNewCat dialog(prompt);
            dialog.show();
            QCOMPARE(dialog.CbGroup()->itemText(0), QStringLiteral("(the library itself)"));
            QCOMPARE(dialog.CbGroup()->currentIndex(), 0);
            QVERIFY(dialog.CbGroup()->findText(QStringLiteral("Mp3")) > 0);
            QTest::keyClicks(dialog.EdFileName(), folder + QStringLiteral("/gone"));
            QVERIFY(dialog.BtnOk()->isEnabled());
            QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
            QCOMPARE(prompt.messages.size(), 1);
            QVERIFY(prompt.messages[0].startsWith(QStringLiteral("There is no folder \"")));
            QVERIFY(dialog.isVisible());
            dialog.EdFileName()->setText(QStringLiteral("  ") + folder + QStringLiteral(" "));
            dialog.CbGroup()->setCurrentText(QStringLiteral("Mp3"));
            QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.FolderPath, folder);
            QCOMPARE(dialog.CatalogFile, base.Library() + QStringLiteral("/Mp3/Live.xml"));
        }
        TFMNewCat again(prompt);
        again.show();
        QCOMPARE(again.CbGroup()->currentText(), QStringLiteral("Mp3"));
        again.CbGroup()->setCurrentIndex(0);
        again.EdFileName()->setText(folder);
        again.EdName()->setText(QStringLiteral("Root"));
        QTest::mouseClick(again.BtnOk(), Qt::LeftButton);
        QCOMPARE(again.CatalogFile, base.Library() + QStringLiteral("/Root.xml"));
        QCOMPARE(TFMNewCat(prompt).CbGroup()->currentIndex(), 0);
    }

    void driveRootWithoutLabelProposesTheEmptyName() {
        if (!IsVolumeRoot(QStringLiteral("/")) || !VolumeLabelOf(QStringLiteral("/")).isEmpty()) {
            QSKIP("the root of this machine is no volume root without a label");
        }
        TFreshBase base;
        CreateDefaultLibrary(base.Library());
        TScriptedPrompt prompt;
        TBrowserScript browser;
        browser.answers << QStringLiteral("/");
        TFMNewCat dialog(prompt);
        dialog.BrowseForFolder = browser.Browser();
        dialog.show();
        QTest::mouseClick(dialog.SpeedButton1(), Qt::LeftButton);
        QCOMPARE(dialog.EdFileName()->text(), QStringLiteral("/"));
        QCOMPARE(dialog.EdName()->text(), QString());
        QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
        QCOMPARE(prompt.messages, QStringList{"Please input the catalog name."});
    }

    void namesStartingWithADotAreRefused() {
        TFreshBase base;
        CreateDefaultLibrary(base.Library());
        TScriptedPrompt prompt;
        TBrowserScript browser;
        browser.answers << base.Path();
        TFMNewCat dialog(prompt);
        dialog.BrowseForFolder = browser.Browser();
        dialog.show();
        QTest::mouseClick(dialog.SpeedButton1(), Qt::LeftButton);
        dialog.EdName()->setText(QStringLiteral(".hidden"));
        QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
        QCOMPARE(prompt.titles, QStringList{"Warning"});
        QCOMPARE(prompt.messages, QStringList{"A name cannot start with \".\"."});
        QVERIFY(dialog.result() != QDialog::Accepted);
        QVERIFY(!QFileInfo::exists(base.Library() + QStringLiteral("/.hidden.xml")));
    }

    void newCatalogCommandScansSavesListsAndShows() {
        TFreshBase base;
        const QString folder = MakeMusicFolder(base.Path());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QVERIFY(main->ToolButton(QStringLiteral("BtnNewCat"))->isEnabled());

        WhenDialogOpens<TFMNewCat>([folder](TFMNewCat* dialog) {
            dialog->BrowseForFolder = [folder](QWidget*, const QString&) { return folder; };
            QTest::mouseClick(dialog->SpeedButton1(), Qt::LeftButton);
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        QTest::mouseClick(main->ToolButton(QStringLiteral("BtnNewCat")), Qt::LeftButton);

        const QString catalog = base.Library() + QStringLiteral("/Live.xml");
        QCOMPARE(main->CurrentCatalog, catalog);
        QCOMPARE(main->LastScanFolder, folder);
        // Only MP3 files and the folders that hold them; tags read from the files.
        const TCatalogTree& content = main->ContentTree();
        QCOMPARE(content.TopLevelCount(), 1);
        const TCatalogNode* a = FindNode(content, QStringLiteral("a.mp3"));
        QVERIFY(a);
        QCOMPARE(Text(a, MP3_Title), QStringLiteral("Song A"));
        QCOMPARE(Text(a, MP3_Artist), QStringLiteral("Band"));
        QCOMPARE(Text(a, DiskName), QStringLiteral("Live"));
        QVERIFY(FindNode(content, QStringLiteral("b.MP3")));
        QVERIFY(FindNode(content, QStringLiteral("c.mp3")));
        QVERIFY(!FindNode(content, QStringLiteral("notes.txt")));
        QVERIFY(!FindNode(content, QStringLiteral("Artwork")));
        // Sorted by name, folders first, and shown expanded.
        QCOMPARE(ChildNames(content.GetFirst()), (QStringList{"Set1", "c.mp3"}));
        QVERIFY(main->VT()->isExpanded(main->VT()->model()->index(0, 0)));

        // Written to the library and listed there.
        const QString written = QString::fromUtf8(ReadFile(catalog));
        QVERIFY(written.contains(QStringLiteral("MP3_Title=\"Song B\"")));
        TCatalogNode* listed = FindNode(*main->FrmCatTree(), QStringLiteral("Live"));
        QVERIFY(listed);
        QVERIFY(listed->Item().IsFile());
        QCOMPARE(listed->Parent(), main->FrmCatTree()->RootNode());

        // Same name again: declining the overwrite, then cancelling, changes nothing.
        const QByteArray before = ReadFile(catalog);
        WhenDialogOpens<TFMNewCat>([folder](TFMNewCat* dialog) {
            dialog->BrowseForFolder = [folder](QWidget*, const QString&) { return folder; };
            QTest::mouseClick(dialog->SpeedButton1(), Qt::LeftButton);
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            QTest::mouseClick(dialog->SpeedButton3(), Qt::LeftButton);
        });
        main->NewCatalogCommand();
        QCOMPARE(prompt.questions,
                 QStringList{"Catalog with the same name already exists,overwrite?"});
        QCOMPARE(ReadFile(catalog), before);
        QCOMPARE(main->CurrentCatalog, catalog);
    }

    void allMusicChoiceScansEveryFormatAndIsRemembered() {
        TFreshBase base;
        const QString folder = MakeMusicFolder(base.Path());
        using namespace melodrix::tagbytes;
        WriteFile(folder, QStringLiteral("d.flac"),
                  QByteArray::fromStdString(FlacFile(
                      {FlacBlock(kFlacComment, VorbisCommentList({"TITLE=Flac"}), true)})));
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        bool startedWithMp3 = false;
        WhenDialogOpens<TFMNewCat>([folder, &startedWithMp3](TFMNewCat* dialog) {
            startedWithMp3 = dialog->RbMp3Files()->isChecked();
            dialog->BrowseForFolder = [folder](QWidget*, const QString&) { return folder; };
            QTest::mouseClick(dialog->SpeedButton1(), Qt::LeftButton);
            dialog->RbAllMusicFiles()->click();
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        QTest::mouseClick(main->ToolButton(QStringLiteral("BtnNewCat")), Qt::LeftButton);
        QVERIFY(startedWithMp3);
        const TCatalogNode* flac = FindNode(main->ContentTree(), QStringLiteral("d.flac"));
        QVERIFY(flac);
        QCOMPARE(Text(flac, MP3_Title), QStringLiteral("Flac"));
        QVERIFY(FindNode(main->ContentTree(), QStringLiteral("a.mp3")));
        QVERIFY(!FindNode(main->ContentTree(), QStringLiteral("notes.txt")));
        // Remembered in the file, so the next dialog (and the next run) starts with it.
        QVERIFY(ReadFile(GetConfig().ConfigFilePath()).contains("allMusicFiles=\"True\""));
        TFMNewCat next(prompt);
        QVERIFY(next.RbAllMusicFiles()->isChecked());
        QVERIFY(!next.RbMp3Files()->isChecked());
    }

    void vanishedFolderScansNothing() {
        TFreshBase base;
        const QString folder = MakeMusicFolder(base.Path());
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        WhenDialogOpens<TFMNewCat>([folder, &prompt](TFMNewCat* dialog) {
            dialog->BrowseForFolder = [folder](QWidget*, const QString&) { return folder; };
            QTest::mouseClick(dialog->SpeedButton1(), Qt::LeftButton);
            QDir(folder).removeRecursively();  // gone before OK
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
            // Said at once, with the dialog still open to mend the path or give up.
            QVERIFY(dialog->isVisible());
            QCOMPARE(prompt.messages.size(), 1);
            QVERIFY(prompt.messages[0].startsWith(QStringLiteral("There is no folder")));
            QTest::mouseClick(dialog->SpeedButton3(), Qt::LeftButton);
        });
        main->NewCatalogCommand();
        QVERIFY(main->CurrentCatalog.isEmpty());
        QVERIFY(main->LastScanFolder.isEmpty());
        QVERIFY(!QFileInfo::exists(base.Library() + QStringLiteral("/Live.xml")));
        QVERIFY(main->ContentTree().IsEmpty());
    }
};

QTEST_MAIN(TNewCatDialogTest)
#include "NewCatDialogTest.moc"
