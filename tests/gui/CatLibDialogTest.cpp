// The catalog library dialog on a real library: enabling rules, new groups, in-place
// renames, moves, deletions, opening, and the main window's command.
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "core/engine/FileInfo.h"
#include "gui/library/CatLibDialog.h"
#include "support/RawNames.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// Rock/Mix.v1.xml, Rock/Old/ (empty group), Pop/Hits.xml, Pop/Top.xml, Top.xml.
void MakeLibrary(const QString& library) {
    WriteFile(library, QStringLiteral("Rock/Mix.v1.xml"), SampleCatalog());
    QDir().mkpath(library + QStringLiteral("/Rock/Old"));
    WriteFile(library, QStringLiteral("Pop/Hits.xml"), SampleCatalog());
    WriteFile(library, QStringLiteral("Pop/Top.xml"), "pop top");
    WriteFile(library, QStringLiteral("Top.xml"), "top");
}

TCatalogNode* NodeAt(TFrmCatTree& frame, const QString& path) {
    for (TCatalogNode* node = frame.Tree().GetFirst(); node; node = frame.Tree().GetNext(node)) {
        if (Text(node, FullPath) == path) {
            return node;
        }
    }
    return nullptr;
}

QStringList Entries(const QString& directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

// Types into the open editor of the dialog's tree and ends with `key`.
void TypeAndEnd(TFMCatLib& dialog, const QString& text, Qt::Key key = Qt::Key_Return) {
    QLineEdit* editor = OpenEditor(*dialog.FrmCatTree());
    QVERIFY(editor);
    if (!text.isEmpty()) {
        editor->selectAll();
        QTest::keyClicks(editor, text);
    }
    QTest::keyClick(editor, key);
    QCoreApplication::processEvents();
}

void Rename(TFMCatLib& dialog, TCatalogNode* node, const QString& text) {
    QVERIFY(node);
    dialog.FrmCatTree()->FocusNode(node);
    QTest::keyClick(dialog.FrmCatTree()->VTLib(), Qt::Key_F2);
    TypeAndEnd(dialog, text);
}

void ShowActive(QWidget& widget) {
    widget.show();
    widget.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&widget));
}

}  // namespace

class TCatLibDialogTest : public QObject {
    Q_OBJECT

private slots:
    void layoutAndEnablingRules() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        TFMCatLib dialog(prompt);
        ShowActive(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Catalog Library "));
        QCOMPARE(dialog.size(), QSize(510, 308));
        TFrmCatTree& frame = *dialog.FrmCatTree();
        QCOMPARE(frame.Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Name  (Press F2 to edit)"));
        QCOMPARE(frame.VTLib()->columnWidth(0), 170);
        QCOMPARE(frame.VTLib()->columnWidth(1), 110);
        QCOMPARE(frame.VTLib()->columnWidth(2), 95);
        const QModelIndex hits = frame.Model()->IndexOf(FindNode(frame, QStringLiteral("Hits")));
        QCOMPARE(frame.Model()->data(hits, Qt::ToolTipRole).toString(),
                 QStringLiteral("You can use drag & drop to catalog them. "));
        QVERIFY(frame.Model()->data(hits, Qt::BackgroundRole).isValid());
        QVERIFY(!frame.Model()->data(hits.siblingAtColumn(1), Qt::BackgroundRole).isValid());
        QCOMPARE(dialog.BtnNewCat()->toolTip(), QStringLiteral("Create a new group"));

        // Root: none of Open, Export, Delete; group: Delete only; catalog: all three.
        QCOMPARE(frame.FocusedNode(), frame.RootNode());
        const auto enabled = [&] {
            return QList<bool>{dialog.BtnOpen()->isEnabled(), dialog.BtnExport()->isEnabled(),
                               dialog.BtnDel()->isEnabled()};
        };
        QCOMPARE(enabled(), (QList<bool>{false, false, false}));
        frame.FocusNode(FindNode(frame, QStringLiteral("Rock")));
        QCOMPARE(enabled(), (QList<bool>{false, false, true}));
        frame.FocusNode(FindNode(frame, QStringLiteral("Hits")));
        QCOMPARE(enabled(), (QList<bool>{true, true, true}));
        frame.FocusNode(frame.RootNode());
        QCOMPARE(enabled(), (QList<bool>{false, false, false}));
        // The root cannot be renamed; other nodes only in the name column.
        QVERIFY(
            !(frame.Model()->flags(frame.Model()->IndexOf(frame.RootNode())) & Qt::ItemIsEditable));
        QVERIFY(frame.Model()->flags(hits) & Qt::ItemIsEditable);
        QVERIFY(!(frame.Model()->flags(hits.siblingAtColumn(1)) & Qt::ItemIsEditable));

        // Open on a group does nothing; a double click on a catalog opens it.
        frame.FocusNode(FindNode(frame, QStringLiteral("Rock")));
        dialog.BtnOpenClick();
        QVERIFY(dialog.isVisible());
        TCatalogNode* hitsNode = FindNode(frame, QStringLiteral("Hits"));
        frame.FocusNode(hitsNode);
        emit frame.VTLib()->doubleClicked(frame.Model()->IndexOf(hitsNode));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.SelectedCatalog, base.Library() + QStringLiteral("/Pop/Hits.xml"));
    }

    void newGroupRules() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        TFMCatLib dialog(prompt);
        ShowActive(dialog);
        TFrmCatTree& frame = *dialog.FrmCatTree();
        const QString library = base.Library();

        // Enter without typing creates "NewGroup" in the library, whatever is focused.
        frame.FocusNode(FindNode(frame, QStringLiteral("Old")));
        QTest::mouseClick(dialog.BtnNewCat(), Qt::LeftButton);
        QVERIFY(dialog.NewGroupPending);
        TCatalogNode* node = frame.FocusedNode();
        QCOMPARE(node->Parent(), frame.RootNode());
        QCOMPARE(node, frame.RootNode()->LastChild());
        QCOMPARE(Text(node, FileName), QStringLiteral("NewGroup"));
        QCOMPARE(Text(node, FileType), QStringLiteral("directory"));
        QVERIFY(!Text(node, FileTime).isEmpty());
        QVERIFY(!QFileInfo::exists(library + QStringLiteral("/NewGroup")));
        TypeAndEnd(dialog, QString());
        QVERIFY(!dialog.NewGroupPending);
        QVERIFY(QFileInfo(library + QStringLiteral("/NewGroup")).isDir());

        // Again: "NewGroup" is taken, so editing goes on without a message.
        QTest::mouseClick(dialog.BtnNewCat(), Qt::LeftButton);
        node = frame.FocusedNode();
        TypeAndEnd(dialog, QString());
        QVERIFY(dialog.NewGroupPending);
        QVERIFY(prompt.messages.isEmpty());
        // A typed name that exists, or that is no file name, is refused with a message.
        TypeAndEnd(dialog, QStringLiteral("Rock"));
        QCOMPARE(prompt.messages, QStringList{"A file with the name already exists!"});
        QVERIFY(dialog.NewGroupPending);
        TypeAndEnd(dialog, QStringLiteral("a/b"));
        QCOMPARE(prompt.messages.size(), 2);
        QCOMPARE(prompt.titles, (QStringList{"Warning", "Warning"}));
        QVERIFY(dialog.NewGroupPending);
        TypeAndEnd(dialog, QStringLiteral("Jazz"));
        QVERIFY(!dialog.NewGroupPending);
        QCOMPARE(Text(node, FileName), QStringLiteral("Jazz"));
        QCOMPARE(Text(node, FullPath), library + QStringLiteral("/Jazz"));
        QCOMPARE(Entries(library), (QStringList{"Jazz", "NewGroup", "Pop", "Rock", "Top.xml"}));

        // Escape takes the new node away and creates nothing.
        const int count = frame.RootNode()->ChildCount();
        QTest::mouseClick(dialog.BtnNewCat(), Qt::LeftButton);
        QCOMPARE(frame.RootNode()->ChildCount(), count + 1);
        QVERIFY(!dialog.FrmCatTreeVTLibDragAllowed(FindNode(frame, QStringLiteral("Hits"))));
        TypeAndEnd(dialog, QStringLiteral("Gone"), Qt::Key_Escape);
        QVERIFY(!dialog.NewGroupPending);
        QCOMPARE(frame.RootNode()->ChildCount(), count);
        QCOMPARE(Entries(library), (QStringList{"Jazz", "NewGroup", "Pop", "Rock", "Top.xml"}));

        // Moving the focus away while "NewGroup" is taken is refused with the message...
        prompt.messages.clear();
        QTest::mouseClick(dialog.BtnNewCat(), Qt::LeftButton);
        node = frame.FocusedNode();
        QVERIFY(OpenEditor(frame));
        frame.FocusNode(FindNode(frame, QStringLiteral("Pop")));
        QCOMPARE(frame.FocusedNode(), node);
        QCOMPARE(prompt.messages, QStringList{"A file with the name already exists!"});
        QVERIFY(dialog.NewGroupPending);
        // ...and creates the group when the name is free.
        QVERIFY(QDir(library).rmdir(QStringLiteral("NewGroup")));
        QVERIFY(OpenEditor(frame));
        frame.FocusNode(FindNode(frame, QStringLiteral("Pop")));
        QCOMPARE(Text(frame.FocusedNode(), FileName), QStringLiteral("Pop"));
        QVERIFY(!dialog.NewGroupPending);
        QVERIFY(QFileInfo(library + QStringLiteral("/NewGroup")).isDir());
    }

    void renamesOnDisk() {
        TFreshBase base;
        MakeLibrary(base.Library());
        TScriptedPrompt prompt;
        TFMCatLib dialog(prompt);
        ShowActive(dialog);
        TFrmCatTree& frame = *dialog.FrmCatTree();
        const QString library = base.Library();

        // A catalog shown as Mix (Mix.v1.xml) renamed to party becomes party.xml.
        Rename(dialog, FindNode(frame, QStringLiteral("Mix")), QStringLiteral("party"));
        QCOMPARE(Entries(library + QStringLiteral("/Rock")), (QStringList{"Old", "party.xml"}));
        TCatalogNode* party = FindNode(frame, QStringLiteral("party"));
        QVERIFY(party);
        QCOMPARE(Text(party, FullPath), library + QStringLiteral("/Rock/party.xml"));

        // A renamed group takes its descendants' paths along at once.
        TCatalogNode* rock = FindNode(frame, QStringLiteral("Rock"));
        Rename(dialog, rock, QStringLiteral("Metal"));
        QCOMPARE(Text(rock, FileName), QStringLiteral("Metal"));
        QCOMPARE(Text(party, FullPath), library + QStringLiteral("/Metal/party.xml"));
        Rename(dialog, party, QStringLiteral("fest"));
        QVERIFY(QFileInfo::exists(library + QStringLiteral("/Metal/fest.xml")));
        QVERIFY(prompt.messages.isEmpty());

        // Collisions and bad names are refused, editing goes on, nothing changes.
        TCatalogNode* pop = FindNode(frame, QStringLiteral("Pop"));
        Rename(dialog, pop, QStringLiteral("Metal"));
        QCOMPARE(prompt.messages, QStringList{"A file with the name already exists!"});
        TypeAndEnd(dialog, QStringLiteral("../Out"));
        QCOMPARE(prompt.messages.size(), 2);
        TypeAndEnd(dialog, QString(), Qt::Key_Escape);
        QCOMPARE(Text(pop, FileName), QStringLiteral("Pop"));
        QCOMPARE(Entries(library), (QStringList{"Metal", "Pop", "Top.xml"}));
        QVERIFY(!QFileInfo::exists(base.Path() + QStringLiteral("/Out")));
        // Typing the same name changes nothing and says nothing.
        Rename(dialog, pop, QStringLiteral("Pop"));
        QCOMPARE(prompt.messages.size(), 2);
    }

    void movesAndDeletions() {
        TFreshBase base;
        MakeLibrary(base.Library());
        QFile::setPermissions(base.Library() + QStringLiteral("/Pop/Top.xml"), QFile::ReadOwner);
        TScriptedPrompt prompt;
        TFMCatLib dialog(prompt);
        ShowActive(dialog);
        TFrmCatTree& frame = *dialog.FrmCatTree();
        const QString library = base.Library();
        const auto node = [&](const QString& relative) {
            return NodeAt(frame, library + QLatin1Char('/') + relative);
        };

        // Only groups outside the dragged subtree take drops; the root never moves.
        QVERIFY(!dialog.FrmCatTreeVTLibDragAllowed(frame.RootNode()));
        QVERIFY(dialog.FrmCatTreeVTLibDragAllowed(node(QStringLiteral("Rock"))));
        QVERIFY(!dialog.FrmCatTreeVTLibDragOver(node(QStringLiteral("Rock")),
                                                node(QStringLiteral("Rock/Old"))));
        QVERIFY(!dialog.FrmCatTreeVTLibDragOver(node(QStringLiteral("Rock")),
                                                node(QStringLiteral("Rock"))));
        QVERIFY(!dialog.FrmCatTreeVTLibDragOver(node(QStringLiteral("Top.xml")),
                                                node(QStringLiteral("Pop/Hits.xml"))));
        QVERIFY(dialog.FrmCatTreeVTLibDragOver(node(QStringLiteral("Top.xml")),
                                               node(QStringLiteral("Rock/Old"))));

        // A drop through the view's model moves the catalog and reloads the tree.
        TLibraryModel* model = frame.Model();
        frame.FocusNode(node(QStringLiteral("Rock/Mix.v1.xml")));
        const QModelIndex old = model->IndexOf(node(QStringLiteral("Rock/Old")));
        std::unique_ptr<QMimeData> data(model->mimeData({model->IndexOf(frame.FocusedNode())}));
        QVERIFY(model->canDropMimeData(data.get(), Qt::MoveAction, -1, -1, old));
        model->dropMimeData(data.get(), Qt::MoveAction, -1, -1, old);
        QCoreApplication::processEvents();
        QVERIFY(QFileInfo::exists(library + QStringLiteral("/Rock/Old/Mix.v1.xml")));
        QVERIFY(node(QStringLiteral("Rock/Old/Mix.v1.xml")));
        QCOMPARE(frame.FocusedNode(), frame.RootNode());

        // A group into another group, a catalog onto the root.
        dialog.FrmCatTreeVTLibEndDrag(node(QStringLiteral("Rock")), node(QStringLiteral("Pop")));
        QCOMPARE(Entries(library + QStringLiteral("/Pop")),
                 (QStringList{"Hits.xml", "Rock", "Top.xml"}));
        dialog.FrmCatTreeVTLibEndDrag(node(QStringLiteral("Pop/Hits.xml")), frame.RootNode());
        QCOMPARE(Entries(library), (QStringList{"Hits.xml", "Pop", "Top.xml"}));
        QVERIFY(prompt.messages.isEmpty());
        // A name that exists in the target is refused; nothing moves.
        dialog.FrmCatTreeVTLibEndDrag(node(QStringLiteral("Top.xml")), node(QStringLiteral("Pop")));
        QCOMPARE(prompt.messages, QStringList{"A file with the name already exists!"});
        QCOMPARE(ReadFile(library + QStringLiteral("/Top.xml")), QByteArray("top"));
        QVERIFY(node(QStringLiteral("Top.xml")));

        // Delete asks first, naming what goes and where; No keeps everything.
        frame.FocusNode(node(QStringLiteral("Pop")));
        prompt.yesNoAnswers = {false};
        QTest::mouseClick(dialog.BtnDel(), Qt::LeftButton);
        QCOMPARE(prompt.questions.size(), 1);
        QCOMPARE(prompt.questions.first(),
                 QStringLiteral("Are you sure to delete the item and all its children?\n\n"
                                "The group \"Pop\" (%1/Pop) and every group and catalog in it "
                                "will be moved to the trash.")
                     .arg(library));
        QVERIFY(QFileInfo(library + QStringLiteral("/Pop")).isDir());
        // Yes moves the group with all in it to the desktop's trash, read-only files included.
        prompt.yesNoAnswers = {true};
        QTest::mouseClick(dialog.BtnDel(), Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(library + QStringLiteral("/Pop")));
        QVERIFY(QFileInfo(base.Trash() + QStringLiteral("/files/Pop/Rock/Old")).isDir());
        QVERIFY(ReadFile(base.Trash() + QStringLiteral("/info/Pop.trashinfo"))
                    .contains("\nPath=" + QFile::encodeName(library).toPercentEncoding("/") +
                              "/Pop\n"));
        QVERIFY(!FindNode(frame, QStringLiteral("Pop")));
        QVERIFY(!FindNode(frame, QStringLiteral("Old")));
        // A catalog file that vanished meanwhile: the reason is shown, the node stays.
        TCatalogNode* hits = node(QStringLiteral("Hits.xml"));
        QVERIFY(QFile::remove(library + QStringLiteral("/Hits.xml")));
        frame.FocusNode(hits);
        prompt.yesNoAnswers = {true};
        prompt.messages.clear();
        QTest::mouseClick(dialog.BtnDel(), Qt::LeftButton);
        QCOMPARE(prompt.messages.size(), 1);
        QVERIFY(prompt.messages.first().contains(QStringLiteral("Hits.xml")));
        QCOMPARE(frame.FocusedNode(), hits);
        // The catalog goes with its file, named as a catalog in the question.
        frame.FocusNode(node(QStringLiteral("Top.xml")));
        prompt.yesNoAnswers = {true};
        prompt.questions.clear();
        QTest::mouseClick(dialog.BtnDel(), Qt::LeftButton);
        QVERIFY(prompt.questions.value(0).endsWith(
            QStringLiteral("The catalog \"Top\" (%1/Top.xml) will be moved to the trash.")
                .arg(library)));
        QCOMPARE(Entries(library), QStringList{});
        QCOMPARE(ReadFile(base.Trash() + QStringLiteral("/files/Top.xml")), QByteArray("top"));
        QCOMPARE(ChildNames(frame.RootNode()), QStringList{"Hits"});
    }

    void namesThatAreNotUtf8() {
        TFreshBase base;
        MakeLibrary(base.Library());
        const QString library = base.Library();
        QVERIFY(MakeRawDirectory(RawPath(library, "Gr\xFCn")));
        QVERIFY(
            WriteRawFile(RawPath(library, "Gr\xFCn/Caf\xE9.xml"), SampleCatalog().toStdString()));
        QVERIFY(WriteRawFile(RawPath(library, "\xE9t\xE9.xml"), "summer"));
        TScriptedPrompt prompt;
        TFMCatLib dialog(prompt);
        ShowActive(dialog);
        TFrmCatTree& frame = *dialog.FrmCatTree();
        const QString group = library + QString::fromUtf8("/Gr\xC3\xBCn");

        // Listed under their Windows-1252 text.
        TCatalogNode* cafe = FindNode(frame, QString::fromUtf8("Caf\xC3\xA9"));
        QVERIFY(cafe);
        QCOMPARE(Text(cafe->Parent(), FileName), QString::fromUtf8("Gr\xC3\xBCn"));

        // Renamed in place, moved by a drop, deleted: always the real entries.
        Rename(dialog, FindNode(frame, QString::fromUtf8("\xC3\xA9t\xC3\xA9")),
               QStringLiteral("Summer"));
        QVERIFY(prompt.messages.isEmpty());
        QVERIFY(!RawExists(RawPath(library, "\xE9t\xE9.xml")));
        QCOMPARE(ReadFile(library + QStringLiteral("/Summer.xml")), QByteArray("summer"));
        dialog.FrmCatTreeVTLibEndDrag(FindNode(frame, QString::fromUtf8("Caf\xC3\xA9")),
                                      FindNode(frame, QStringLiteral("Rock")));
        QVERIFY(prompt.messages.isEmpty());
        QVERIFY(RawExists(RawPath(library, "Rock/Caf\xE9.xml")));
        QCOMPARE(dialog.Changes.last().from, group + QString::fromUtf8("/Caf\xC3\xA9.xml"));
        QCOMPARE(dialog.Changes.last().to, library + QString::fromUtf8("/Rock/Caf\xC3\xA9.xml"));
        frame.FocusNode(FindNode(frame, QString::fromUtf8("Gr\xC3\xBCn")));
        prompt.yesNoAnswers = {true};
        QTest::mouseClick(dialog.BtnDel(), Qt::LeftButton);
        QVERIFY(prompt.messages.isEmpty());
        QVERIFY(!RawExists(RawPath(library, "Gr\xFCn")));
        QVERIFY(!FindNode(frame, QString::fromUtf8("Gr\xC3\xBCn")));

        // Opened by that text, which the catalog reader finds on disk.
        frame.FocusNode(FindNode(frame, QString::fromUtf8("Caf\xC3\xA9")));
        QTest::mouseClick(dialog.BtnOpen(), Qt::LeftButton);
        QCOMPARE(dialog.SelectedCatalog, library + QString::fromUtf8("/Rock/Caf\xC3\xA9.xml"));
        TFileInfo info;
        pugi::xml_document document;
        info.Document = &document;
        QVERIFY(info.OpenCatalogFile(dialog.SelectedCatalog));
        QVERIFY(document.document_element().first_child());
    }

    void linkedGroupIsDeletedAsTheLinkOnly() {
        TFreshBase base;
        MakeLibrary(base.Library());
        const QString elsewhere = base.Path() + QStringLiteral("/elsewhere");
        WriteFile(elsewhere, QStringLiteral("keep.xml"), "keep");
        QVERIFY(QFile::link(elsewhere, base.Library() + QStringLiteral("/Linked")));
        TScriptedPrompt prompt;
        TFMCatLib dialog(prompt);
        ShowActive(dialog);
        TFrmCatTree& frame = *dialog.FrmCatTree();
        frame.FocusNode(FindNode(frame, QStringLiteral("Linked")));
        QVERIFY(dialog.BtnDel()->isEnabled());
        prompt.yesNoAnswers = {true};
        QTest::mouseClick(dialog.BtnDel(), Qt::LeftButton);
        QVERIFY(prompt.messages.isEmpty());
        QVERIFY(!QFileInfo(base.Library() + QStringLiteral("/Linked")).isSymLink());
        QVERIFY(!FindNode(frame, QStringLiteral("Linked")));
        QCOMPARE(ReadFile(elsewhere + QStringLiteral("/keep.xml")), QByteArray("keep"));
    }

    // The dialog lists the library as the main window's tree is sorted (by name when it never
    // was), keeps that order after a move, and widens the name column for long names.
    void listedInTheLibraryTreesOrderWithWholeNames() {
        TFreshBase base;
        MakeLibrary(base.Library());
        const QString longName =
            QStringLiteral("Collection of the greatest live recordings ever made");
        WriteFile(base.Library(), QStringLiteral("Rock/") + longName + QStringLiteral(".xml"), "x");
        WriteFile(base.Library(), QStringLiteral("Ambient/a.xml"), "a big one, this one");
        TScriptedPrompt prompt;
        {
            TFMCatLib dialog(prompt);
            ShowActive(dialog);
            TFrmCatTree& frame = *dialog.FrmCatTree();
            QCOMPARE(ChildNames(frame.RootNode()), (QStringList{"Ambient", "Pop", "Rock", "Top"}));
            QCOMPARE(frame.SortColumn(), 0);
            QVERIFY(frame.SortAscending());
            QCOMPARE(frame.VTLib()->columnWidth(0), 170);
            // A group opened shows its long name whole.
            TCatalogNode* rock = FindNode(frame, QStringLiteral("Rock"));
            frame.VTLib()->expand(frame.Model()->IndexOf(rock));
            QCoreApplication::processEvents();
            QTreeView* view = frame.VTLib();
            const QModelIndex cell = frame.Model()->IndexOf(FindNode(frame, longName));
            const int textEnd =
                view->visualRect(cell).left() + view->fontMetrics().horizontalAdvance(longName);
            QVERIFY2(view->columnWidth(0) >= textEnd, qPrintable(QString::number(textEnd)));
        }
        // The main window's tree sorted by size, descending (two clicks): the dialog too.
        auto main = StartMainWith(prompt);
        main->FrmCatTree()->HeaderClick(2);
        main->FrmCatTree()->HeaderClick(2);
        WhenDialogOpens<TFMCatLib>([&](TFMCatLib* dialog) {
            TFrmCatTree& frame = *dialog->FrmCatTree();
            QCOMPARE(frame.SortColumn(), 2);
            QVERIFY(!frame.SortAscending());
            // Groups first, the larger before the smaller; then the catalog.
            QCOMPARE(ChildNames(frame.RootNode()), (QStringList{"Pop", "Rock", "Ambient", "Top"}));
            // A move reloads the tree in the same order.
            dialog->FrmCatTreeVTLibEndDrag(
                NodeAt(frame, base.Library() + QStringLiteral("/Top.xml")),
                FindNode(frame, QStringLiteral("Ambient")));
            QCOMPARE(ChildNames(frame.RootNode()), (QStringList{"Pop", "Rock", "Ambient"}));
            QCOMPARE(ChildNames(FindNode(frame, QStringLiteral("Ambient"))),
                     (QStringList{"a", "Top"}));
            QTest::mouseClick(dialog->BtnClose(), Qt::LeftButton);
        });
        main->CatalogLibraryCommand();
    }

    void pathsFollowRenamesMovesAndDeletions() {
        const QList<TLibraryChange> changes{{"/lib/Pop", "/lib/Charts"},
                                            {"/lib/Charts/Hits.xml", "/lib/Charts/Best.xml"},
                                            {"/lib/Charts", "/lib/Old/Charts"},
                                            {"/lib/Rock", QString()}};
        QCOMPARE(FollowLibraryChanges("/lib/Pop/Hits.xml", changes),
                 QStringLiteral("/lib/Old/Charts/Best.xml"));
        QCOMPARE(FollowLibraryChanges("/lib/Pop/Sub/a.xml", changes),
                 QStringLiteral("/lib/Old/Charts/Sub/a.xml"));
        QCOMPARE(FollowLibraryChanges("/lib/Rock/a.xml", changes), QString());
        QCOMPARE(FollowLibraryChanges("/lib/Rock", changes), QString());
        // A name that only begins like a changed one is another entry.
        QCOMPARE(FollowLibraryChanges("/lib/Rock2/a.xml", changes),
                 QStringLiteral("/lib/Rock2/a.xml"));
        QCOMPARE(FollowLibraryChanges("/lib/Popular.xml", changes),
                 QStringLiteral("/lib/Popular.xml"));
        QCOMPARE(FollowLibraryChanges(QString(), changes), QString());
    }

    void mainWindowOpensTheChosenCatalogAndReloads() {
        TFreshBase base;
        MakeLibrary(base.Library());
        QDir().mkpath(base.Library() + QStringLiteral("/Empty"));
        TScriptedPrompt prompt;
        auto main = StartMainWith(prompt);
        QVERIFY(main->ToolButton(QStringLiteral("BtnCatLib"))->isEnabled());
        QVERIFY(FindNode(*main->FrmCatTree(), QStringLiteral("Empty")));

        // Close: nothing is opened, but the library is read again.
        WhenDialogOpens<TFMCatLib>([&prompt](TFMCatLib* dialog) {
            dialog->FrmCatTree()->FocusNode(
                FindNode(*dialog->FrmCatTree(), QStringLiteral("Empty")));
            prompt.yesNoAnswers = {true};
            QTest::mouseClick(dialog->BtnDel(), Qt::LeftButton);
            dialog->FrmCatTree()->FocusNode(
                FindNode(*dialog->FrmCatTree(), QStringLiteral("Hits")));
            QTest::mouseClick(dialog->BtnClose(), Qt::LeftButton);
        });
        QTest::mouseClick(main->ToolButton(QStringLiteral("BtnCatLib")), Qt::LeftButton);
        QVERIFY(main->CurrentCatalog.isEmpty());
        QVERIFY(!FindNode(*main->FrmCatTree(), QStringLiteral("Empty")));

        WhenDialogOpens<TFMCatLib>([](TFMCatLib* dialog) {
            dialog->FrmCatTree()->FocusNode(
                FindNode(*dialog->FrmCatTree(), QStringLiteral("Hits")));
            QTest::mouseClick(dialog->BtnOpen(), Qt::LeftButton);
        });
        main->CatalogLibraryCommand();
        QCOMPARE(main->CurrentCatalog, base.Library() + QStringLiteral("/Pop/Hits.xml"));
        QCOMPARE(TopLevelNames(main->ContentTree()), QStringList{"Music"});

        // The catalog on screen follows a rename of its group, and goes with its deletion.
        WhenDialogOpens<TFMCatLib>([](TFMCatLib* dialog) {
            Rename(*dialog, FindNode(*dialog->FrmCatTree(), QStringLiteral("Pop")),
                   QStringLiteral("Charts"));
            QTest::mouseClick(dialog->BtnClose(), Qt::LeftButton);
        });
        main->CatalogLibraryCommand();
        QCOMPARE(main->CurrentCatalog, base.Library() + QStringLiteral("/Charts/Hits.xml"));
        QCOMPARE(TopLevelNames(main->ContentTree()), QStringList{"Music"});
        WhenDialogOpens<TFMCatLib>([&prompt](TFMCatLib* dialog) {
            dialog->FrmCatTree()->FocusNode(
                FindNode(*dialog->FrmCatTree(), QStringLiteral("Charts")));
            prompt.yesNoAnswers = {true};
            QTest::mouseClick(dialog->BtnDel(), Qt::LeftButton);
            QTest::mouseClick(dialog->BtnClose(), Qt::LeftButton);
        });
        main->CatalogLibraryCommand();
        QVERIFY(main->CurrentCatalog.isEmpty());
        QVERIFY(main->ContentTree().IsEmpty());
        QVERIFY(!QFileInfo::exists(base.Library() + QStringLiteral("/Charts")));
    }
};

QTEST_MAIN(TCatLibDialogTest)
#include "CatLibDialogTest.moc"
