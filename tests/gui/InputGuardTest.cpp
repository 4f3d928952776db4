// The input guard of a long operation: the dialogs the operation opens take input together
// with their pop-ups, every other window refuses it.
#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>

#include "GuiTestSupport.h"
#include "gui/shell/InputGuard.h"
#include "gui/shell/WaitForm.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// A main window with a button, its progress window, and the guard switched on as a long
// operation does.
struct TOperation {
    QMainWindow main;
    QPushButton* button = new QPushButton(QStringLiteral("Press"), &main);
    TWaitForm wait{&main};

    TOperation() {
        main.setCentralWidget(button);
        main.show();
        wait.ShowProgress(true, false);
    }
    ~TOperation() { wait.ShowProgress(false, false); }
};

// A modal dialog opened while the operation runs, as its questions are.
void ShowModal(QWidget& dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
}

}  // namespace

class TInputGuardTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseEnglishLocale(); }

    // Typing a path in a file dialog the operation opened shows the completion list; keys
    // sent to the list reach the dialog's line, while the main window still refuses clicks.
    void completionListOfAFileDialogTakesKeys() {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("alpha")));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("alps")));
        TOperation operation;
        QVERIFY(operation.wait.InputGuard().Active());

        QFileDialog dialog(&operation.main, QStringLiteral("Open"), folder.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        ShowModal(dialog);
        auto* line = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(line);
        QCompleter* completer = line->completer();
        QVERIFY(completer);
        // The folder's entries are read on a thread; the list shows them once they are in.
        auto* list = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
        QVERIFY(list);
        QTRY_VERIFY_WITH_TIMEOUT(list->model()->rowCount(list->rootIndex()) == 2, 10000);

        line->setFocus();
        QTest::keyClicks(line, folder.path() + QStringLiteral("/al"));
        QCOMPARE(line->text(), folder.path() + QStringLiteral("/al"));
        QAbstractItemView* popup = completer->popup();
        QTRY_VERIFY_WITH_TIMEOUT(popup->isVisible(), 10000);
        QCOMPARE(QApplication::activePopupWidget(), popup);

        // The list hands typed keys on to the line.
        QTest::keyClick(popup, Qt::Key_P);
        QCOMPARE(line->text(), folder.path() + QStringLiteral("/alp"));
        // Escape in the list closes it (the guard offers no Cancel here).
        QTest::keyClick(popup, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!popup->isVisible(), 10000);

        QSignalSpy clicks(operation.button, &QPushButton::clicked);
        QTest::mouseClick(operation.button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 0);
        QTest::keyClick(operation.button, Qt::Key_Space);
        QCOMPARE(clicks.count(), 0);
        dialog.reject();
    }

    // A menu takes input when the window it belongs to does: the operation's dialog, or the
    // progress window; a menu of the main window does not.
    void menusFollowTheirWindow() {
        TOperation operation;
        QDialog dialog(&operation.main);
        ShowModal(dialog);

        const auto keysReach = [](QMenu& menu) {
            menu.addAction(QStringLiteral("One"));
            menu.addAction(QStringLiteral("Two"));
            menu.popup(QPoint(10, 10));
            if (!QTest::qWaitForWindowExposed(&menu)) {
                return false;
            }
            QTest::keyClick(&menu, Qt::Key_Down);
            const bool reached = menu.activeAction() != nullptr;
            menu.close();
            return reached;
        };
        QMenu ofDialog(&dialog);
        QVERIFY(keysReach(ofDialog));
        QMenu ofProgress(&operation.wait);
        QVERIFY(keysReach(ofProgress));
        QMenu ofMain(&operation.main);
        QVERIFY(!keysReach(ofMain));
        // A menu opened from a menu of the dialog belongs to the dialog too.
        QMenu sub(&ofDialog);
        QVERIFY(keysReach(sub));
        QMenu subOfMain(&ofMain);
        QVERIFY(!keysReach(subOfMain));
        // A parentless pop-up belongs to no window that may take input.
        QMenu loose;
        QVERIFY(!keysReach(loose));
        dialog.reject();

        // Once the operation is over the main window's menu works again.
        operation.wait.ShowProgress(false, false);
        QVERIFY(!operation.wait.InputGuard().Active());
        QMenu after(&operation.main);
        QVERIFY(keysReach(after));
    }
};

QTEST_MAIN(TInputGuardTest)
#include "InputGuardTest.moc"
