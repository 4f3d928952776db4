// The update's two dialogs as a user meets them: the folder question with its Browse button,
// and the preview whose long paths stay readable and whose size is kept.
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <pugixml.hpp>

#include "DialogTestSupport.h"
#include "core/engine/FileInfo.h"
#include "core/scan/UpdateCatalog.h"
#include "gui/library/UpdateFolderDialog.h"
#include "gui/library/UpdatePreviewDialog.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

TCatalogChange Change(const QString& path, const std::string& description = {}) {
    TCatalogChange change;
    change.FullPath = path.toStdString();
    change.Description = description;
    return change;
}

// A path of about 200 characters below `root`.
QString LongPath(const QString& root, int number) {
    return root + QStringLiteral("/Music/") + QString(30, QLatin1Char('x')) +
           QStringLiteral("/Live recordings of the nineties/") + QString(80, QLatin1Char('y')) +
           QStringLiteral("/track %1.mp3").arg(number);
}

}  // namespace

class TUpdateDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void previewCutsLongPathsInTheMiddleAndShowsThemWhole() {
        TFreshBase base;
        TCatalogUpdate update;
        update.Folder = QStringLiteral("/media/usb");
        update.Added.push_back(Change(LongPath(update.Folder, 1)));
        update.Removed.push_back(Change(LongPath(update.Folder, 2), "typed by hand"));
        update.Removed.push_back(Change(QStringLiteral("/media/usb/short.mp3")));
        TFMUpdatePreview preview(update, QStringLiteral("usb"));
        preview.show();
        QCoreApplication::processEvents();

        QTreeWidget* added = preview.LstAdded();
        QCOMPARE(added->textElideMode(), Qt::ElideMiddle);
        QCOMPARE(added->topLevelItem(0)->toolTip(0), LongPath(update.Folder, 1));
        // One column fills the list and no more: the path is cut, not scrolled.
        QVERIFY(added->header()->length() <= added->viewport()->width());
        // The headings of the removed items span the list, so no column cuts them.
        QTreeWidget* removed = preview.LstRemoved();
        QCOMPARE(removed->topLevelItemCount(), 4);
        QCOMPARE(removed->topLevelItem(0)->text(0),
                 QStringLiteral("descriptions that will be dropped"));
        QVERIFY(removed->topLevelItem(0)->isFirstColumnSpanned());
        QCOMPARE(removed->topLevelItem(1)->toolTip(1), QStringLiteral("typed by hand"));
        QVERIFY(removed->topLevelItem(2)->isFirstColumnSpanned());
        QCOMPARE(removed->topLevelItem(3)->text(0), QStringLiteral("/media/usb/short.mp3"));
        // The long path takes no more than two thirds, leaving the description in view.
        const int first = removed->header()->sectionSize(0);
        QVERIFY2(first <= preview.width() * 2 / 3, qPrintable(QString::number(first)));
        QVERIFY(first >
                removed->fontMetrics().horizontalAdvance(QStringLiteral("other removed items")));

        // Short paths get the width they need.
        TCatalogUpdate small;
        small.Folder = update.Folder;
        small.Changed.push_back(Change(QStringLiteral("/media/usb/a.mp3")));
        TFMUpdatePreview fitted(small, QStringLiteral("usb"));
        const int width = fitted.LstChanged()->header()->sectionSize(0);
        const int text = fitted.LstChanged()->fontMetrics().horizontalAdvance(
            QStringLiteral("/media/usb/a.mp3"));
        QVERIFY(width >= text && width < text + 60);
    }

    void previewCanBeResizedAndKeepsItsSize() {
        TFreshBase base;
        TCatalogUpdate update;
        update.Folder = QStringLiteral("/media/usb");
        {
            TFMUpdatePreview preview(update, QStringLiteral("usb"));
            QCOMPARE(preview.size(), QSize(720, 480));
            QVERIFY(preview.isSizeGripEnabled());
            QVERIFY(preview.minimumSize() != preview.maximumSize());
            preview.show();
            preview.resize(900, 640);
            QTest::mouseClick(preview.BtnCancel(), Qt::LeftButton);
        }
        TFMUpdatePreview again(update, QStringLiteral("usb"));
        QCOMPARE(again.size(), QSize(900, 640));
    }

    void folderQuestionTakesATypedOrBrowsedFolderThatExists() {
        TFreshBase base;
        const QString stored = base.Path() + QStringLiteral("/music");
        const QString other = base.Path() + QStringLiteral("/elsewhere");
        QDir().mkpath(stored);
        QDir().mkpath(other);
        TScriptedPrompt prompt;
        TFMUpdateFolder question(prompt, QStringLiteral("Disk"), stored);
        question.show();
        QCOMPARE(question.windowTitle(), QStringLiteral("Update Disk"));
        QCOMPARE(question.EdFolder()->text(), stored);
        QCOMPARE(question.BtnBrowse()->text(), QStringLiteral("&Browse..."));

        // Browse starts at the folder typed and puts the one chosen in the field.
        QString startedAt;
        question.ChooseFolder = [&](const QString& start) {
            startedAt = start;
            return other;
        };
        QTest::mouseClick(question.BtnBrowse(), Qt::LeftButton);
        QCOMPARE(startedAt, stored);
        QCOMPARE(question.EdFolder()->text(), other);
        // Cancelled, the field stays.
        question.ChooseFolder = [](const QString&) { return QString(); };
        QTest::mouseClick(question.BtnBrowse(), Qt::LeftButton);
        QCOMPARE(question.EdFolder()->text(), other);

        // A folder that is not there is refused with a message; the dialog stays.
        question.EdFolder()->selectAll();
        QTest::keyClicks(question.EdFolder(), base.Path() + QStringLiteral("/unplugged"));
        QTest::mouseClick(question.BtnOk(), Qt::LeftButton);
        QVERIFY(question.isVisible());
        QCOMPARE(prompt.messages.size(), 1);
        QVERIFY(prompt.messages[0].contains(QStringLiteral("unplugged is not a folder")));
        question.EdFolder()->clear();
        QTest::mouseClick(question.BtnOk(), Qt::LeftButton);
        QVERIFY(question.isVisible());
        QCOMPARE(prompt.messages.size(), 2);
        // A typed folder that exists is taken, blanks around it dropped.
        question.EdFolder()->setText(QStringLiteral(" ") + stored + QStringLiteral(" "));
        QTest::mouseClick(question.BtnOk(), Qt::LeftButton);
        QCOMPARE(question.result(), int(QDialog::Accepted));
        QCOMPARE(question.Folder(), stored);
    }

    void theUpdateCommandAsksWithTheFolderQuestion() {
        TFreshBase base;
        const QString music = base.Path() + QStringLiteral("/music");
        const QString catalog = base.Library() + QStringLiteral("/Disk.xml");
        WriteFile(music, QStringLiteral("one.mp3"), QByteArray(40, 'x'));
        QDir().mkpath(base.Library());
        {
            pugi::xml_document document;
            TFileInfo engine;
            engine.Document = &document;
            TCatalogTree tree;
            engine.ScanFolder(tree, music, QStringLiteral("\\.MP3\\"), false, catalog);
            engine.SaveCatalogTree(tree, catalog);
        }
        WriteFile(music, QStringLiteral("two.mp3"), QByteArray(50, 'x'));
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QString asked;
        WhenDialogOpens<TFMUpdateFolder>([&](TFMUpdateFolder* question) {
            asked = question->EdFolder()->text();
            QTest::mouseClick(question->BtnOk(), Qt::LeftButton);
        });
        QString counts;
        main->ShowUpdatePreview = [&](TFMUpdatePreview& preview) {
            counts = preview.LblCounts()->text();
            return false;
        };
        main->UpdateCatalogCommand(catalog);
        QCOMPARE(asked, music);
        QVERIFY2(counts.contains(QStringLiteral("Added: 1")), qPrintable(counts));
    }
};

QTEST_MAIN(TUpdateDialogsTest)
#include "UpdateDialogsTest.moc"
