// The new-catalog dialog's scan choices: looking inside archives and the names to skip, as
// the command scans with them and the configuration remembers them; and the disk a catalog
// records, as the library shows it.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "core/catalog/DiskFacts.h"
#include "core/catalog/NamePatterns.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/config/Config.h"
#include "core/library/Library.h"
#include "core/tags/MusicTagBuilders.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"
#include "gui/library/NewCatDialog.h"

using namespace melodrix;
using namespace melodrix::testing;

class TNewCatScanOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void archivesAndSkippedNamesReachTheScanAndAreRemembered() {
        TFreshBase base;
        const QString folder = base.Path() + QStringLiteral("/Disk");
        const QString album = base.Path() + QStringLiteral("/Album");
        WriteFile(album, QStringLiteral("01.mp3"),
                  QByteArray(300, '\x11') + Id3v1Tag("Zipped Song", "Band"));
        QDir().mkpath(folder);
        QProcess zip;
        zip.setWorkingDirectory(base.Path());
        zip.start(QStringLiteral("zip"),
                  {QStringLiteral("-qr"), folder + QStringLiteral("/Album.zip"),
                   QStringLiteral("Album")});
        QVERIFY2(zip.waitForFinished(30000) && zip.exitCode() == 0,
                 "zip is missing: run scripts/install-deps");
        WriteFile(folder, QStringLiteral("$RECYCLE.BIN/old.mp3"), QByteArray(100, '\x22'));
        WriteFile(folder, QStringLiteral("Live/take.mp3"), QByteArray(100, '\x33'));
        WriteFile(folder, QStringLiteral("Live/take.part.mp3"), QByteArray(100, '\x44'));

        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QStringList offered;
        WhenDialogOpens<TFMNewCat>([&](TFMNewCat* dialog) {
            offered = ExcludeListOfText(dialog->EdExcludes()->text());
            QVERIFY(!dialog->CbArchives()->isChecked());
            dialog->BrowseForFolder = [folder](QWidget*, const QString&) { return folder; };
            QTest::mouseClick(dialog->SpeedButton1(), Qt::LeftButton);
            dialog->CbArchives()->setChecked(true);
            // A pattern that names a path is refused, and the dialog stays.
            dialog->EdExcludes()->setText(QStringLiteral("a\\b"));
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            dialog->EdExcludes()->clear();
            QTest::mouseClick(dialog->BtnDefaultExcludes(), Qt::LeftButton);
            dialog->EdExcludes()->setText(dialog->EdExcludes()->text() +
                                          QStringLiteral(" / *.part.mp3"));
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        QTest::mouseClick(main->ToolButton(QStringLiteral("BtnNewCat")), Qt::LeftButton);
        QCOMPARE(prompt.messages.size(), 1);
        QVERIFY(prompt.messages.first().contains(QStringLiteral("path separator")));
        // The dialog offers the defaults, one by one, as the user reads them.
        QCOMPARE(offered.size(), DefaultExcludePatterns().size());

        const TCatalogNode* entry = FindNode(main->ContentTree(), QStringLiteral("01.mp3"));
        QVERIFY(entry);
        const auto text = [entry](int field) {
            return QString::fromStdString(std::string(entry->Item().Field(field)));
        };
        QVERIFY(text(FullPath).endsWith(QStringLiteral("/Album.zip/Album/01.mp3")));
        QCOMPARE(text(MP3_Title), QStringLiteral("Zipped Song"));
        QVERIFY(FindNode(main->ContentTree(), QStringLiteral("take.mp3")));
        QVERIFY(!FindNode(main->ContentTree(), QStringLiteral("take.part.mp3")));
        QVERIFY(!FindNode(main->ContentTree(), QStringLiteral("old.mp3")));

        // Remembered, so the next dialog starts with the same choices.
        TFMNewCat next(prompt);
        QVERIFY(next.CbArchives()->isChecked());
        QVERIFY(next.EdExcludes()->text().endsWith(QStringLiteral("*.part.mp3")));
        QCOMPARE(GetConfig().ConfigRoot().ExcludePatterns().last(), QStringLiteral("*.part.mp3"));
    }

    void theLibraryShowsTheDiskACatalogRecords() {
        TFreshBase base;
        CreateDefaultLibrary(base.Library());
        TCatalogTree catalog;
        catalog.AppendChild(nullptr)->Item().SetField(FileName, "root");
        WriteCatalogTreeFile(base.Library() + QStringLiteral("/Folder.xml"), catalog);
        RecordDiskFacts(catalog.Attributes(), TDiskFacts{64'000'000'000, 12'400'000'000,
                                                         QStringLiteral("exfat"), QString()});
        WriteCatalogTreeFile(base.Library() + QStringLiteral("/Mp3/Stick.xml"), catalog);
        TFrmCatTree frame;
        frame.LoadLibraryTree(base.Library(), false);
        TLibraryModel* model = frame.Model();
        QCOMPARE(model->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Disk space"));
        const auto diskOf = [&](const QString& name) {
            return model->data(model->IndexOf(FindNode(frame.Tree(), name), 3), Qt::DisplayRole)
                .toString();
        };
        QCOMPARE(diskOf(QStringLiteral("Stick")), QStringLiteral("12.4 GB free of 64 GB"));
        QCOMPARE(diskOf(QStringLiteral("Folder")), QString());
        QCOMPARE(diskOf(QStringLiteral("Mp3")), QString());
        // The hint gives the whole text, which a narrow column may cut.
        QCOMPARE(model
                     ->data(model->IndexOf(FindNode(frame.Tree(), QStringLiteral("Stick")), 3),
                            Qt::ToolTipRole)
                     .toString(),
                 QStringLiteral("12.4 GB free of 64 GB"));
    }
};

QTEST_MAIN(TNewCatScanOptionsTest)
#include "NewCatScanOptionsTest.moc"
