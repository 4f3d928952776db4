// Where the Help command finds its page, in the build tree and in an installed prefix. The
// program is also copied into a temporary install tree by scripts/check-install and run
// there, so the same checks cover the installed layout.
#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <memory>

#include "GuiTestSupport.h"
#include "gui/shell/HelpFile.h"
#include "gui/shell/HelpWindow.h"
#include "gui/shell/MainWindow.h"

using namespace melodrix;
using namespace melodrix::testing;

// Records what the desktop services were asked to open instead of starting a browser.
class TUrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

class THelpFileTest : public QObject {
    Q_OBJECT

private slots:
    void prefersThePageBesideTheProgram() {
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("bin"));
        const QString installed =
            WriteFile(dir.path(), QStringLiteral("share/melodrix/Help.htm"), "installed");
        QDir().mkpath(bin);
        QCOMPARE(HelpFilePath(bin), installed);

        const QString beside = WriteFile(bin, QStringLiteral("Help.htm"), "portable");
        QCOMPARE(HelpFilePath(bin), beside);
    }

    void fallsBackToThePathBesideTheProgram() {
        QTemporaryDir dir;
        // A folder of that name is not a page.
        QDir().mkpath(dir.filePath(QStringLiteral("share/melodrix/Help.htm")));
        const QString bin = dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        QCOMPARE(HelpFilePath(bin), QDir(bin).filePath(QStringLiteral("Help.htm")));
    }

    // The Help item of the options menu, and F1, show the program's own page in a window of
    // its own, wherever the program is installed: no browser is needed.
    void helpCommandShowsTheProgramsPage() {
        TFreshBase base;
        TUrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "Open");
        TFMMain main;
        main.show();
        QCoreApplication::processEvents();
        QAction* help = nullptr;
        for (QAction* action : main.MenuOptions()->actions()) {
            if (action->text() == QStringLiteral("Help")) {
                help = action;
            }
        }
        QVERIFY(help);
        QCOMPARE(help->shortcut(), QKeySequence(QKeySequence::HelpContents));
        help->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        QVERIFY(recorder.opened.isEmpty());
        THelpWindow* window = main.HelpWindow();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        const QString page = window->Browser()->source().toLocalFile();
        QCOMPARE(page, HelpFilePath(QCoreApplication::applicationDirPath()));
        QVERIFY2(QFileInfo(page).isFile(), qPrintable(page));
        QVERIFY(window->Browser()->toPlainText().contains(QStringLiteral("Melodrix Help")));
        qInfo("Help opens %s", qPrintable(QFileInfo(page).canonicalFilePath()));

        // Closed and asked for again with F1, it shows the page where the reader left it.
        QScrollBar* scroll = window->Browser()->verticalScrollBar();
        scroll->setValue(scroll->maximum() / 2);
        const int place = scroll->value();
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("BtnClose")),
                          Qt::LeftButton);
        QVERIFY(!window->isVisible());
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_F1);
        QVERIFY(window->isVisible());
        QCOMPARE(main.HelpWindow(), window);
        QCOMPARE(scroll->value(), place);
        main.close();
    }

    void aMissingPageIsExplainedInTheWindow() {
        QTemporaryDir dir;
        THelpWindow window;
        const QString missing = dir.filePath(QStringLiteral("Help.htm"));
        window.ShowPage(missing);
        QVERIFY(window.Browser()->toPlainText().contains(QStringLiteral("Help.htm is missing")));
        QVERIFY(window.Browser()->toPlainText().contains(missing));
        // Once it is there, it is shown.
        WriteFile(dir.path(), QStringLiteral("Help.htm"),
                  "<html><body><p>Found it</p></body></html>");
        window.ShowPage(missing);
        QCOMPARE(window.Browser()->toPlainText(), QStringLiteral("Found it"));
    }
};

QTEST_MAIN(THelpFileTest)
#include "HelpFileTest.moc"
