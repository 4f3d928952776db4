// Where the Help command finds its page, in the build tree and in an installed prefix. The
// program is also copied into a temporary install tree by scripts/check-install and run
// there, so the same checks cover the installed layout.
#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QUrl>
#include <memory>

#include "GuiTestSupport.h"
#include "gui/shell/HelpFile.h"
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

    // The Help item of the options menu opens the program's own page, wherever it is installed.
    void helpCommandOpensTheProgramsPage() {
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
        help->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        QCOMPARE(recorder.opened.size(), 1);
        const QString page = recorder.opened.first().toLocalFile();
        QCOMPARE(page, HelpFilePath(QCoreApplication::applicationDirPath()));
        QVERIFY2(QFileInfo(page).isFile(), qPrintable(page));
        QVERIFY(ReadFile(page).contains("<html"));
        qInfo("Help opens %s", qPrintable(QFileInfo(page).canonicalFilePath()));
        main.close();
    }
};

QTEST_MAIN(THelpFileTest)
#include "HelpFileTest.moc"
