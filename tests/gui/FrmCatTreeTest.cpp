// The library tree frame: cells, pictures, header sorting and the hooks hosts replace.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>

#include "GuiTestSupport.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// root: Alpha (group, a.xml 1000 bytes, b.xml 3000 bytes), Beta (empty group), c.txt (empty)
void MakeLibrary(const QString& library) {
    WriteFile(library, QStringLiteral("Alpha/a.xml"), QByteArray(1000, 'a'));
    WriteFile(library, QStringLiteral("Alpha/b.xml"), QByteArray(3000, 'b'));
    QDir().mkpath(library + QStringLiteral("/Beta"));
    WriteFile(library, QStringLiteral("c.txt"), QByteArray());
}

// A left click on a header section, as a user makes it.
void ClickHeader(TFrmCatTree& frame, int column, Qt::MouseButton button = Qt::LeftButton) {
    QHeaderView* header = frame.VTLib()->header();
    const QPoint point(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                       header->height() / 2);
    QTest::mouseClick(header->viewport(), button, {}, point);
}

}  // namespace

class TFrmCatTreeTest : public QObject {
    Q_OBJECT

private slots:
    void cellsPicturesAndLoading() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TFrmCatTree frame;
        QAbstractItemModelTester tester(frame.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        frame.show();
        frame.LoadLibraryTree(base.Library(), false);
        TLibraryModel* model = frame.Model();
        QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("CatalogName"));
        QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Create Time"));
        QCOMPARE(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Size"));

        TCatalogNode* root = frame.RootNode();
        QCOMPARE(frame.FocusedNode(), root);
        QVERIFY(frame.VTLib()->isExpanded(model->IndexOf(root)));
        QVERIFY(!frame.VTLib()->isExpanded(
            model->IndexOf(FindNode(frame.Tree(), QStringLiteral("Alpha")))));

        const QModelIndex a = model->IndexOf(FindNode(frame.Tree(), QStringLiteral("a")));
        QCOMPARE(model->data(a.siblingAtColumn(2), Qt::DisplayRole).toString(),
                 QStringLiteral("0.98 KB"));
        QCOMPARE(model
                     ->data(model->IndexOf(FindNode(frame.Tree(), QStringLiteral("c")), 2),
                            Qt::DisplayRole)
                     .toString(),
                 QStringLiteral("0.00 KB"));
        const QModelIndex alpha = model->IndexOf(FindNode(frame.Tree(), QStringLiteral("Alpha")));
        QVERIFY(model->data(alpha.siblingAtColumn(2), Qt::DisplayRole).toString().isEmpty());
        QVERIFY(!model->data(alpha.siblingAtColumn(1), Qt::DisplayRole).toString().isEmpty());
        QCOMPARE(model->data(a, Qt::ToolTipRole).toString(), QStringLiteral("a"));

        const auto iconKey = [&](const QModelIndex& index) {
            return model->data(index, Qt::DecorationRole).value<QIcon>().cacheKey();
        };
        QCOMPARE(iconKey(alpha), iconKey(model->IndexOf(root)));
        QVERIFY(iconKey(alpha) != iconKey(a));
        QVERIFY(!model->data(a.siblingAtColumn(1), Qt::DecorationRole).isValid());

        // The frame itself refuses editing and dragging.
        QVERIFY(!(model->flags(a) & Qt::ItemIsEditable));
        QVERIFY(!(model->flags(a) & Qt::ItemIsDragEnabled));

        frame.LoadLibraryTree(base.Library(), true);
        QVERIFY(!FindNode(frame.Tree(), QStringLiteral("a")));
        QCOMPARE(ChildNames(frame.RootNode()).size(), 2);
    }

    void headerClicksSortGroupsFirst() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TFrmCatTree frame;
        frame.show();
        frame.LoadLibraryTree(base.Library(), false);
        QCOMPARE(frame.SortColumn(), -1);
        ClickHeader(frame, 2, Qt::RightButton);  // only the left button sorts
        QCOMPARE(frame.SortColumn(), -1);
        // Size, never sorted before: ascending; groups first, among them by summed size.
        ClickHeader(frame, 2);
        QVERIFY(frame.SortAscending());
        QCOMPARE(ChildNames(frame.RootNode()), (QStringList{"Beta", "Alpha", "c"}));
        QCOMPARE(ChildNames(FindNode(frame.Tree(), QStringLiteral("Alpha"))),
                 (QStringList{"a", "b"}));
        ClickHeader(frame, 2);
        QVERIFY(!frame.SortAscending());
        QCOMPARE(ChildNames(frame.RootNode()), (QStringList{"Alpha", "Beta", "c"}));
        QCOMPARE(ChildNames(FindNode(frame.Tree(), QStringLiteral("Alpha"))),
                 (QStringList{"b", "a"}));
        ClickHeader(frame, 0);
        QVERIFY(frame.SortAscending());
        QCOMPARE(frame.VTLib()->header()->sortIndicatorSection(), 0);
        QCOMPARE(ChildNames(frame.RootNode()), (QStringList{"Alpha", "Beta", "c"}));
        // The sort state survives a reload.
        frame.LoadLibraryTree(base.Library(), false);
        QCOMPARE(frame.SortColumn(), 0);
        QVERIFY(frame.VTLib()->header()->isSortIndicatorShown());
        ClickHeader(frame, 0);
        QVERIFY(!frame.SortAscending());
        QCOMPARE(ChildNames(frame.RootNode()), (QStringList{"Beta", "Alpha", "c"}));
    }

    void hostHooks() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TFrmCatTree frame;
        QStringList calls;
        frame.Editing = [](TCatalogNode* node, int column) {
            return column == 0 && node->Parent();
        };
        frame.GetHint = [](TCatalogNode*, int) { return QStringLiteral("drag me"); };
        frame.NewText = [&calls](TCatalogNode* node, int, const QString& text) {
            calls << QStringLiteral("new:%1:%2").arg(Text(node, FileName), text);
        };
        frame.Edited = [&calls](TCatalogNode* node, int) {
            calls << QStringLiteral("edited:") + Text(node, FileName);
        };
        frame.EditCancelled = [&calls](TCatalogNode* node, int) {
            calls << QStringLiteral("cancelled:") + Text(node, FileName);
        };
        frame.show();
        QApplication::setActiveWindow(&frame);
        frame.LoadLibraryTree(base.Library(), false);
        TLibraryModel* model = frame.Model();
        QCOMPARE(model->data(model->IndexOf(frame.RootNode()), Qt::ToolTipRole).toString(),
                 QStringLiteral("drag me"));
        QVERIFY(!(model->flags(model->IndexOf(frame.RootNode())) & Qt::ItemIsEditable));

        TCatalogNode* beta = FindNode(frame.Tree(), QStringLiteral("Beta"));
        auto edit = [&](const std::function<void(QLineEdit*)>& act) {
            frame.FocusNode(beta);
            QTest::keyClick(frame.VTLib(), Qt::Key_F2);
            auto* editor = frame.VTLib()->findChild<QLineEdit*>();
            QVERIFY(editor);
            act(editor);
        };
        // Typed and committed: NewText, then Edited.
        edit([](QLineEdit* editor) {
            editor->selectAll();
            QTest::keyClicks(editor, QStringLiteral("Gamma"));
            QTest::keyClick(editor, Qt::Key_Return);
        });
        QTRY_COMPARE(calls, (QStringList{"new:Beta:Gamma", "edited:Beta"}));
        // Committed without typing: only Edited.
        calls.clear();
        edit([](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Return); });
        QTRY_COMPARE(calls, (QStringList{"edited:Beta"}));
        // Escape: only EditCancelled.
        calls.clear();
        edit([](QLineEdit* editor) {
            QTest::keyClicks(editor, QStringLiteral("x"));
            QTest::keyClick(editor, Qt::Key_Escape);
        });
        QTRY_COMPARE(calls, (QStringList{"cancelled:Beta"}));

        // A host may refuse a change of focus.
        frame.FocusChanging = [beta](TCatalogNode* from, TCatalogNode*, int) {
            return from != beta;
        };
        frame.FocusNode(beta);
        frame.FocusNode(frame.RootNode());
        QCOMPARE(frame.FocusedNode(), beta);
        frame.FocusChanging = nullptr;
        frame.FocusNode(frame.RootNode());
        QCOMPARE(frame.FocusedNode(), frame.RootNode());
    }
};

QTEST_MAIN(TFrmCatTreeTest)
#include "FrmCatTreeTest.moc"
