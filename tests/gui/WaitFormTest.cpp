// The progress window's states as the engine drives it.
#include <QLabel>
#include <QPushButton>

#include "GuiTestSupport.h"
#include "gui/shell/WaitForm.h"

using namespace melodrix;

class TWaitFormTest : public QObject {
    Q_OBJECT

private slots:
    void showHideAndCancel() {
        QWidget owner;
        owner.setGeometry(100, 100, 800, 600);
        owner.show();
        TWaitForm form(&owner);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.MessageText(), QStringLiteral("..."));
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(form.size(), QSize(376, 84));

        // Shown from hidden: the flag is cleared, no Cancel unless asked, centred.
        SetCancelRequested(true);
        form.ShowProgress(true, false);
        QVERIFY(form.isVisible());
        QVERIFY(!form.isModal());
        QVERIFY(!form.CancelRequested());
        QVERIFY(!form.CancelVisible());
        QCOMPARE(form.frameGeometry().center(), owner.frameGeometry().center());
        form.SetProgressText(QStringLiteral("Loading info.."));
        QCOMPARE(form.MessageText(), QStringLiteral("Loading info.."));

        // Shown again while visible: the flag set meanwhile stays; Cancel as asked now.
        form.ShowProgress(true, true);
        QVERIFY(form.CancelVisible());
        auto* cancel = form.findChild<QPushButton*>(QStringLiteral("BtnCancel"));
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(form.CancelRequested());
        QVERIFY(CancelRequested());
        QVERIFY(form.isVisible());  // the operation decides what to do
        form.ShowProgress(true, true);
        QVERIFY(form.CancelRequested());

        form.ShowProgress(false, false);
        QVERIFY(!form.isVisible());
        form.ShowProgress(false, false);  // hiding a hidden window does nothing
        QVERIFY(!form.isVisible());

        // The next operation starts with the flag cleared.
        form.ShowProgress(true, true);
        QVERIFY(!form.CancelRequested());
        form.ShowProgress(false, false);
    }

    void countLineAdvancesWithTheIndicator() {
        TWaitForm form(nullptr);
        form.ShowProgress(true, false);
        const int frame = form.Indicator()->Frame();
        form.SetProgressCount(1234567);
        QVERIFY(form.CountText().contains(QStringLiteral("1,234,567")));
        QVERIFY(form.Indicator()->Frame() != frame);
        // Updates closer together than the throttle allows are skipped.
        form.SetProgressCount(7);
        QVERIFY(form.CountText().contains(QStringLiteral("1,234,567")));
        QTest::qWait(40);
        form.SetProgressCount(8);
        QCOMPARE(form.CountText(), QStringLiteral("8 items"));
        form.ShowProgress(false, false);
        form.ShowProgress(true, false);
        QVERIFY(form.CountText().isEmpty());
        form.ShowProgress(false, false);
    }

    void indicatorLoops() {
        TActivityIndicator indicator;
        QCOMPARE(indicator.size(), QSize(80, 50));
        for (int i = 0; i < 30; ++i) {
            QCOMPARE(indicator.Frame(), i);
            indicator.Advance();
        }
        QCOMPARE(indicator.Frame(), 0);
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    melodrix::testing::UseEnglishLocale();
    TWaitFormTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "WaitFormTest.moc"
