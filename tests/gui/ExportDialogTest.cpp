// The export dialog: its defaults, the enabling of OK, every format from the screen and
// from a library catalog, remembered column ticks, and the way in from the library dialog.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QToolButton>
#include <pugixml.hpp>

#include "../core/export/WorkbookReader.h"
#include "DialogTestSupport.h"
#include "core/config/Config.h"
#include "core/engine/FileInfo.h"
#include "gui/export/ExportDialog.h"
#include "gui/library/CatLibDialog.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

struct TFixture {
    TFreshBase base;
    TScriptedPrompt prompt;
    std::unique_ptr<TFMMain> main;
    QString hits;

    // The library holds Pop/Hits.xml (items below /d/Music) and an empty group Rock;
    // the screen shows a catalog outside the library (items below /d/Screen).
    TFixture() {
        hits = WriteFile(base.Library(), QStringLiteral("Pop/Hits.xml"), SampleCatalog());
        QDir().mkpath(base.Library() + QStringLiteral("/Rock"));
        const QString screen = WriteFile(base.Path(), QStringLiteral("Screen.xml"),
                                         SampleCatalog(QStringLiteral("/d/Screen")));
        main = StartMainWith(prompt);
        main->OpenCatalog(screen);
    }

    std::unique_ptr<TFMExport> Dialog(const QString& catalogPath = QString()) {
        auto dialog =
            std::make_unique<TFMExport>(TExportSources{main->ContentTree(), main->Progress(),
                                                       main->Prompt(), main->CurrentCatalog},
                                        main.get());
        dialog->ExportCatalogPath = catalogPath;
        dialog->show();
        return dialog;
    }

    QString Out(const QString& name) const { return base.Path() + QStringLiteral("/out-") + name; }
};

void TickOnly(QListWidget* list, const QStringList& names) {
    for (int i = 0; i < list->count(); ++i) {
        list->item(i)->setCheckState(names.contains(list->item(i)->text()) ? Qt::Checked
                                                                           : Qt::Unchecked);
    }
}

QList<bool> Ticks(const QListWidget* list) {
    QList<bool> ticks;
    for (int i = 0; i < list->count(); ++i) {
        ticks << (list->item(i)->checkState() == Qt::Checked);
    }
    return ticks;
}

// The DefaultExport attribute of a column as the configuration file holds it.
QString StoredDefaultExport(const QString& configFile, const char* column) {
    pugi::xml_document document;
    document.load_file(configFile.toUtf8().constData());
    return QString::fromUtf8(document.document_element()
                                 .child("nodes")
                                 .find_child_by_attribute("node", "Name", column)
                                 .attribute("DefaultExport")
                                 .value());
}

}  // namespace

class TExportDialogTest : public QObject {
    Q_OBJECT

private slots:
    void defaultsAndOkButton() {
        TFixture f;
        QVERIFY(f.main->ToolButton(QStringLiteral("BtnExport"))->isEnabled());
        auto dialog = f.Dialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Catalog Export"));
        QCOMPARE(dialog->size(), QSize(488, 424));
        QVERIFY(dialog->RBScreen()->isChecked());
        QVERIFY(dialog->RBHTML()->isChecked());
        QCOMPARE(dialog->EdSep()->text(), QStringLiteral(","));
        QCOMPARE(dialog->RBExcel()->text(), QStringLiteral("Microsoft Excel Format"));
        QCOMPARE(dialog->RBTxt()->text(), QStringLiteral("TEXT Format "));
        QVERIFY(dialog->BtnOk()->isEnabled());
        // One entry per column of the model, in model order, ticked by DefaultExport.
        const std::vector<TColumnSpec> columns = GetConfig().Columns();
        QCOMPARE(dialog->CLBList()->count(), int(columns.size()));
        for (int i = 0; i < dialog->CLBList()->count(); ++i) {
            QCOMPARE(dialog->CLBList()->item(i)->text(), columns[i].Name);
            QCOMPARE(dialog->CLBList()->item(i)->checkState() == Qt::Checked,
                     columns[i].DefaultExport);
        }

        // The selected-catalog source needs a focused catalog.
        TFrmCatTree& frame = *dialog->FrmCatTree();
        QCOMPARE(frame.FocusedNode(), frame.RootNode());
        QTest::mouseClick(dialog->RBCatalog(), Qt::LeftButton);
        QVERIFY(!dialog->BtnOk()->isEnabled());
        frame.FocusNode(FindNode(frame, QStringLiteral("Rock")));
        QVERIFY(!dialog->BtnOk()->isEnabled());
        frame.FocusNode(FindNode(frame, QStringLiteral("Hits")));
        QVERIFY(dialog->BtnOk()->isEnabled());
        frame.FocusNode(frame.RootNode());
        QVERIFY(!dialog->BtnOk()->isEnabled());
        QTest::mouseClick(dialog->RBScreen(), Qt::LeftButton);
        QVERIFY(dialog->BtnOk()->isEnabled());

        // Opened for a library catalog: that catalog is the source, focused in the tree.
        auto forCatalog = f.Dialog(f.hits);
        QVERIFY(forCatalog->RBCatalog()->isChecked());
        QCOMPARE(Text(forCatalog->FrmCatTree()->FocusedNode(), FullPath), f.hits);
        QVERIFY(forCatalog->BtnOk()->isEnabled());
        // A path that names no catalog leaves the root focused and OK disabled.
        auto unknown = f.Dialog(f.base.Library() + QStringLiteral("/Pop/hits.xml"));
        QCOMPARE(unknown->FrmCatTree()->FocusedNode(), unknown->FrmCatTree()->RootNode());
        QVERIFY(!unknown->BtnOk()->isEnabled());
    }

    void everyFormatFromScreenAndCatalog() {
        TFixture f;
        struct TCase {
            QString format;
            QString file;
            QString separator;  // EdSep text
            QString expected;   // the text of the c.txt row, %1 the folder
        };
        const QList<TCase> cases{
            {QStringLiteral("RBHTML"), QStringLiteral("page.htm"), {}, QStringLiteral("%1/c.txt")},
            {QStringLiteral("RBXML"),
             QStringLiteral("copy.xml"),
             {},
             QStringLiteral("FullPath=\"%1/c.txt\"")},
            {QStringLiteral("RBExcel"), QStringLiteral("book.xlsx"), {}, {}},
            {QStringLiteral("RBCVS"), QStringLiteral("semi.csv"), QStringLiteral(";"),
             QStringLiteral("c.txt;%1/c.txt")},
            {QStringLiteral("RBCVS"), QStringLiteral("comma.csv"), QString(),
             QStringLiteral("c.txt,%1/c.txt")},
            {QStringLiteral("RBTxt"), QStringLiteral("table.txt"), QStringLiteral(";"),
             QStringLiteral("c.txt    %1/c.txt")},
        };
        for (const bool fromCatalog : {false, true}) {
            for (const TCase& c : cases) {
                const QString label = c.file + (fromCatalog ? " from catalog" : " from screen");
                auto dialog = f.Dialog(fromCatalog ? f.hits : QString());
                TickOnly(dialog->CLBList(),
                         {QStringLiteral("FileName"), QStringLiteral("FullPath")});
                dialog->findChild<QRadioButton*>(c.format)->setChecked(true);
                dialog->EdSep()->setText(c.separator);
                const QString out =
                    f.Out((fromCatalog ? QStringLiteral("cat-") : QStringLiteral("scr-")) + c.file);
                f.prompt.fileAnswers = {out};
                f.prompt.fileQuestions.clear();
                QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
                QVERIFY2(dialog->result() == QDialog::Accepted, qPrintable(label));
                QCOMPARE(f.prompt.fileQuestions.size(), size_t(1));
                // A library catalog offers its name; the screen offers none. The question
                // opens where the last export went.
                const QString offered = f.prompt.fileQuestions[0].initialName;
                if (fromCatalog) {
                    QCOMPARE(offered, f.base.Path() + QStringLiteral("/Hits"));
                } else if (&c != &cases.first()) {
                    QCOMPARE(offered, f.base.Path());
                }
                const QByteArray written = ReadFile(out);
                QVERIFY2(!written.isEmpty(), qPrintable(label));
                if (c.expected.isEmpty()) {
                    QVERIFY2(written.startsWith("PK"), qPrintable(label));  // a zipped workbook
                    continue;
                }
                const QString folder =
                    fromCatalog ? QStringLiteral("/d/Music") : QStringLiteral("/d/Screen");
                QVERIFY2(QString::fromUtf8(written).contains(c.expected.arg(folder)),
                         qPrintable(label));
                // The tables hold only the ticked columns; the XML file is the whole catalog.
                QCOMPARE(QString::fromUtf8(written).contains(QStringLiteral("notes")),
                         c.format == "RBXML");
            }
        }
        QVERIFY(f.prompt.messages.isEmpty());
        // The screen itself and its catalog stay as they were.
        QCOMPARE(f.main->CurrentCatalog, f.base.Path() + QStringLiteral("/Screen.xml"));
        QCOMPARE(Text(f.main->ContentTree().GetFirst(), FullPath), QStringLiteral("/d/Screen"));
    }

    void brokenLibraryCatalogIsReported() {
        TFixture f;
        const QString broken =
            WriteFile(f.base.Library(), QStringLiteral("Pop/Broken.xml"), "<fileinfo><file");
        auto dialog = f.Dialog(broken);
        QVERIFY(dialog->BtnOk()->isEnabled());
        QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(f.prompt.messages.size(), 1);
        QCOMPARE(f.prompt.titles, QStringList{"Warning"});
        QVERIFY(f.prompt.fileQuestions.empty());
    }

    void brokenLibraryCatalogIsReportedInEveryFormat() {
        TFixture f;
        const QString broken = WriteFile(f.base.Library(), QStringLiteral("Pop/Broken.xml"),
                                         "<fileinfo><file FileName=\"a\"/><file");
        for (const char* format : {"RBHTML", "RBXML", "RBExcel", "RBCVS", "RBTxt"}) {
            auto dialog = f.Dialog(broken);
            dialog->findChild<QRadioButton*>(QLatin1String(format))->setChecked(true);
            const QString out = f.Out(QStringLiteral("broken"));
            f.prompt.fileAnswers = {out};
            f.prompt.fileQuestions.clear();
            f.prompt.messages.clear();
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
            QVERIFY2(f.prompt.messages.size() == 1 &&
                         f.prompt.messages[0].contains(QStringLiteral("Broken.xml")),
                     format);
            QVERIFY2(f.prompt.fileQuestions.empty(), format);
            QVERIFY2(!QFileInfo::exists(out), format);
        }
    }

    void catalogsAreExportedWithoutTheMainDocument() {
        TFixture f;
        // What the exports wrote when they went through a document.
        pugi::xml_document document;
        TScriptedPrompt prompt;
        TFileInfo engine(SilentProgress(), prompt);
        engine.Document = &document;
        QVERIFY(engine.OpenCatalogFile(f.hits));
        prompt.fileAnswers = {f.Out(QStringLiteral("expected-catalog.xml"))};
        QVERIFY(engine.ExportXml(QString()));
        QVERIFY(engine.SaveCatalogTree(f.main->ContentTree(),
                                       f.Out(QStringLiteral("expected-screen.xml"))));

        for (const bool fromCatalog : {true, false}) {
            for (const char* format : {"RBXML", "RBExcel"}) {
                auto dialog = f.Dialog(fromCatalog ? f.hits : QString());
                dialog->findChild<QRadioButton*>(QLatin1String(format))->setChecked(true);
                const QString out =
                    f.Out(QStringLiteral("%1-%2").arg(fromCatalog).arg(QLatin1String(format)));
                f.prompt.fileAnswers = {out};
                QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
                QVERIFY2(ReadFile(out).startsWith(QString::fromLatin1(format) == "RBXML" ? "<?xml"
                                                                                         : "PK"),
                         format);
            }
        }
        QCOMPARE(ReadFile(f.Out(QStringLiteral("1-RBXML"))),
                 ReadFile(f.Out(QStringLiteral("expected-catalog.xml"))));
        QCOMPARE(ReadFile(f.Out(QStringLiteral("0-RBXML"))),
                 ReadFile(f.Out(QStringLiteral("expected-screen.xml"))));
        QVERIFY(f.prompt.messages.isEmpty());
        // The library catalog was never opened into the main window's document.
        QVERIFY(!f.main->Document().document_element().first_child());
    }

    void ticksAreRememberedOnOkOnly() {
        TFixture f;
        const QString configFile = GetConfig().ConfigFilePath();
        auto dialog = f.Dialog();
        QListWidget* list = dialog->CLBList();
        const int fileType =
            list->row(list->findItems(QStringLiteral("FileType"), Qt::MatchExactly).first());
        list->item(fileType)->setCheckState(Qt::Unchecked);
        list->item(0)->setCheckState(Qt::Checked);
        const QList<bool> ticks = Ticks(list);
        // The file question is cancelled: nothing is written, but the ticks are kept.
        QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(StoredDefaultExport(configFile, "FileType"), QStringLiteral("False"));
        QCOMPARE(Ticks(f.Dialog()->CLBList()), ticks);

        // Cancel after changing ticks saves nothing.
        const QByteArray before = ReadFile(configFile);
        auto cancelled = f.Dialog();
        cancelled->CLBList()->item(fileType)->setCheckState(Qt::Checked);
        QTest::mouseClick(cancelled->BtnCancel(), Qt::LeftButton);
        QCOMPARE(cancelled->result(), int(QDialog::Rejected));
        QCOMPARE(ReadFile(configFile), before);
        QCOMPARE(Ticks(f.Dialog()->CLBList()), ticks);
    }

    // The first export's question opens in the documents folder, every later one where the
    // last export went, in this run and the next; a page is titled by the screen's catalog.
    void saveQuestionOpensWhereTheLastExportWent() {
        TFixture f;
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(ExportStartFolder(), QFileInfo(documents).isDir() ? documents : QDir::homePath());
        const QString startBefore = ExportStartFolder();
        auto first = f.Dialog();
        const QString folder = f.base.Path() + QStringLiteral("/exports");
        QDir().mkpath(folder);
        f.prompt.fileAnswers = {folder + QStringLiteral("/page.htm")};
        QTest::mouseClick(first->BtnOk(), Qt::LeftButton);
        QCOMPARE(f.prompt.fileQuestions.back().initialName, startBefore);
        QCOMPARE(first->ExportedFile, folder + QStringLiteral("/page.htm"));
        QVERIFY(ReadFile(first->ExportedFile).contains("<Title>Screen</Title>"));
        QCOMPARE(ExportStartFolder(), folder);

        auto second = f.Dialog(f.hits);
        f.prompt.fileAnswers = {QString()};  // cancelled: nothing written, nothing said
        QTest::mouseClick(second->BtnOk(), Qt::LeftButton);
        QCOMPARE(f.prompt.fileQuestions.back().initialName, folder + QStringLiteral("/Hits"));
        QVERIFY(second->ExportedFile.isEmpty());

        // Across runs: the folder is in the configuration file.
        UseConfigDirectory(f.base.Path());
        QCOMPARE(ExportStartFolder(), folder);
        // A folder that went away gives way to the documents folder again.
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(ExportStartFolder(), QFileInfo(documents).isDir() ? documents : QDir::homePath());
    }

    // Sizes are numbers in the workbook a user exports, names stay texts.
    void workbookHoldsNumbersAsNumbers() {
        TFixture f;
        auto dialog = f.Dialog();
        TickOnly(dialog->CLBList(), {QStringLiteral("FileName"), QStringLiteral("FileSize")});
        dialog->RBExcel()->setChecked(true);
        const QString out = f.Out(QStringLiteral("sizes.xlsx"));
        f.prompt.fileAnswers = {out};
        QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        const TWorkbookReader sheet(out);
        QVERIFY(sheet.loaded);
        QCOMPARE(sheet.Text("B3"), std::string("Music"));
        QVERIFY(sheet.IsText("B3"));
        QCOMPARE(sheet.Text("C3"), std::string("3900"));
        QVERIFY(!sheet.IsText("C3"));
        QVERIFY(!sheet.IsText("A3"));  // the running number
    }

    void openedFromTheLibraryDialog() {
        TFixture f;
        const QString fromCatalog = f.Out(QStringLiteral("library.htm"));
        const QString fromScreen = f.Out(QStringLiteral("screen.htm"));
        f.prompt.fileAnswers = {fromCatalog, fromScreen};
        bool checked = false;
        WhenDialogOpens<TFMCatLib>([&](TFMCatLib* library) {
            library->FrmCatTree()->FocusNode(
                FindNode(*library->FrmCatTree(), QStringLiteral("Hits")));
            WhenDialogOpens<TFMExport>([&](TFMExport* dialog) {
                checked = dialog->RBCatalog()->isChecked() && dialog->BtnOk()->isEnabled() &&
                          Text(dialog->FrmCatTree()->FocusedNode(), FullPath) == f.hits;
                QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
            });
            QTest::mouseClick(library->BtnExport(), Qt::LeftButton);
            // Opened for the catalog, switched to the screen: the view is exported.
            WhenDialogOpens<TFMExport>([](TFMExport* dialog) {
                QTest::mouseClick(dialog->RBScreen(), Qt::LeftButton);
                QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
            });
            QTest::mouseClick(library->BtnExport(), Qt::LeftButton);
            QVERIFY(library->isVisible());  // the library dialog stays open
            QTest::mouseClick(library->BtnClose(), Qt::LeftButton);
        });
        f.main->CatalogLibraryCommand();
        QVERIFY(checked);
        QCOMPARE(f.prompt.fileQuestions.size(), size_t(2));
        QCOMPARE(QFileInfo(f.prompt.fileQuestions[0].initialName).fileName(),
                 QStringLiteral("Hits"));
        QCOMPARE(f.prompt.fileQuestions[1].initialName, f.base.Path());
        // The status bar names the file the last export wrote.
        QCOMPARE(f.main->StatusPanel()->text(), QStringLiteral("Export done: %1").arg(fromScreen));
        QVERIFY(QString::fromUtf8(ReadFile(fromCatalog)).contains(QStringLiteral("/d/Music")));
        QVERIFY(QString::fromUtf8(ReadFile(fromScreen)).contains(QStringLiteral("/d/Screen")));
    }
};

QTEST_MAIN(TExportDialogTest)
#include "ExportDialogTest.moc"
