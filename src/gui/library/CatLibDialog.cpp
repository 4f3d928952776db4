#include "gui/library/CatLibDialog.h"

#include <QDateTime>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/catalog/Paths.h"
#include "core/catalog/Sinks.h"
#include "core/catalog/ValueFunctions.h"
#include "core/config/Config.h"
#include "core/library/LibraryOperations.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"
#include "gui/shell/Guard.h"
#include "gui/shell/ViewStyle.h"

namespace melodrix {

namespace {

const QString kCellHint = QStringLiteral("You can use drag & drop to catalog them. ");
// The name column is at least this wide, and wider when a name needs it.
constexpr int kNameColumnWidth = 170;

QString TextOf(const TCatalogNode* node, int field) {
    const std::string_view text = node->Item().Field(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void SetText(TCatalogNode* node, int field, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    node->Item().SetField(field,
                          std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QPushButton* MakeButton(const QString& name, const QString& caption, const QString& hint) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setMinimumHeight(28);
    return button;
}

}  // namespace

TFMCatLib::TFMCatLib(IPromptSink& prompt, QWidget* parent)
    : TCommandDialog(parent),
      prompt_(prompt),
      frmCatTree_(new TFrmCatTree),
      btnNewCat_(MakeButton(QStringLiteral("BtnNewCat"), QStringLiteral("&New Group"),
                            QStringLiteral("Create a new group"))),
      btnOpen_(MakeButton(QStringLiteral("BtnOpen"), QStringLiteral("&Open Catalog"),
                          QStringLiteral("Open a catalog"))),
      btnDel_(MakeButton(QStringLiteral("BtnDel"), QStringLiteral("&Delete Item"),
                         QStringLiteral("delete a group or catalog"))),
      btnExport_(MakeButton(QStringLiteral("BtnExport"), QStringLiteral("&Export Catalog"),
                            QStringLiteral("Export a catalog"))),
      btnUpdate_(MakeButton(QStringLiteral("BtnUpdate"), QStringLiteral("&Update"),
                            QStringLiteral("Rescan the catalog's folder, keeping descriptions"))),
      btnClose_(MakeButton(QStringLiteral("BtnClose"), QStringLiteral("&Close"),
                           QStringLiteral("Close the window"))) {
    setObjectName(QStringLiteral("FMCatLib"));
    setWindowTitle(QStringLiteral("Catalog Library "));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(510, 308);

    auto* sunken = new QFrame;
    sunken->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* sunkenLayout = new QVBoxLayout(sunken);
    sunkenLayout->setContentsMargins(2, 2, 2, 2);
    sunkenLayout->addWidget(frmCatTree_);

    QTreeView* view = frmCatTree_->VTLib();
    TLibraryModel* model = frmCatTree_->Model();
    model->SetTitle(0, QStringLiteral("Name  (Press F2 to edit)"));
    model->FirstColumnBackground = EditableCellColour();
    view->setColumnWidth(0, kNameColumnWidth);
    view->setColumnWidth(1, 110);
    view->setColumnWidth(2, 95);
    view->setToolTip(QStringLiteral("You can use drag & drop to catalog"));
    // A group opened shows its names whole as well.
    connect(view, &QTreeView::expanded, this,
            [this] { frmCatTree_->FitNameColumn(frmCatTree_->VTLib()->columnWidth(0)); });

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(8);
    for (QPushButton* button : {btnNewCat_, btnOpen_, btnDel_, btnExport_, btnUpdate_, btnClose_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(sunken, 1);
    layout->addLayout(buttons);

    setTabOrder(view, btnOpen_);
    setTabOrder(btnOpen_, btnNewCat_);
    setTabOrder(btnNewCat_, btnDel_);
    setTabOrder(btnDel_, btnExport_);
    setTabOrder(btnExport_, btnUpdate_);
    setTabOrder(btnUpdate_, btnClose_);

    frmCatTree_->Editing = [this](TCatalogNode* node, int column) {
        return FrmCatTreeVTLibEditing(node, column);
    };
    frmCatTree_->GetHint = [](TCatalogNode*, int) { return kCellHint; };
    frmCatTree_->NewText = [this](TCatalogNode* node, int, const QString& text) {
        FrmCatTreeVTLibNewText(node, text);
    };
    frmCatTree_->Edited = [this](TCatalogNode* node, int) { FrmCatTreeVTLibEdited(node); };
    frmCatTree_->EditCancelled = [this](TCatalogNode*, int) { FrmCatTreeVTLibEditCancelled(); };
    frmCatTree_->FocusChanging = [this](TCatalogNode*, TCatalogNode* to, int toColumn) {
        return FrmCatTreeVTLibFocusChanging(to, toColumn);
    };
    frmCatTree_->DragAllowed = [this](TCatalogNode* node) {
        return FrmCatTreeVTLibDragAllowed(node);
    };
    frmCatTree_->DragOver = [this](TCatalogNode* dragged, TCatalogNode* target) {
        return FrmCatTreeVTLibDragOver(dragged, target);
    };
    frmCatTree_->EndDrag = [this](TCatalogNode* dragged, TCatalogNode* target) {
        FrmCatTreeVTLibEndDrag(dragged, target);
    };
    connect(frmCatTree_, &TFrmCatTree::Change, this,
            [this](TCatalogNode* node) { FrmCatTreeVTLibChange(node); });
    connect(frmCatTree_, &TFrmCatTree::DblClick, this,
            [this] { IgnoreException([this] { BtnOpenClick(); }); });

    const auto command = [this](QPushButton* button, void (TFMCatLib::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { IgnoreException([&] { (this->*handler)(); }); });
    };
    command(btnNewCat_, &TFMCatLib::BtnNewCatClick);
    command(btnOpen_, &TFMCatLib::BtnOpenClick);
    command(btnDel_, &TFMCatLib::BtnDelClick);
    command(btnExport_, &TFMCatLib::BtnExportClick);
    command(btnUpdate_, &TFMCatLib::BtnUpdateClick);
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);
}

TFMCatLib::~TFMCatLib() {
    // The tree outlives this part of the dialog; what it reports while it goes must not
    // reach a dialog that is half gone.
    frmCatTree_->disconnect(this);
    frmCatTree_->Editing = nullptr;
    frmCatTree_->NewText = nullptr;
    frmCatTree_->Edited = nullptr;
    frmCatTree_->EditCancelled = nullptr;
    frmCatTree_->FocusChanging = nullptr;
    frmCatTree_->DragAllowed = nullptr;
    frmCatTree_->DragOver = nullptr;
    frmCatTree_->EndDrag = nullptr;
}

QString TFMCatLib::LibraryPath() const {
    return GetConfig().LibraryPath();
}

void TFMCatLib::Warn(const QString& text) {
    prompt_.ShowMessage(kWarningTitle, text, TMessageIcon::Warning);
}

void TFMCatLib::PrepareDialog() {
    btnOpen_->setEnabled(false);
    btnExport_->setEnabled(false);
    btnUpdate_->setEnabled(false);
    btnDel_->setEnabled(false);
    LoadLibrary();
}

void TFMCatLib::LoadLibrary() {
    frmCatTree_->LoadLibraryTree(LibraryPath(), false);
    if (LibrarySortColumn >= 0) {
        frmCatTree_->SortBy(LibrarySortColumn, LibrarySortAscending);
    } else {
        frmCatTree_->SortBy(0, true);
    }
    frmCatTree_->FitNameColumn(kNameColumnWidth);
}

void TFMCatLib::FrmCatTreeVTLibChange(const TCatalogNode* node) {
    const bool catalog = node && node->Item().IsFile();
    btnOpen_->setEnabled(catalog);
    btnExport_->setEnabled(catalog);
    btnUpdate_->setEnabled(catalog);
    btnDel_->setEnabled(node && node != frmCatTree_->RootNode());
}

void TFMCatLib::BtnOpenClick() {
    const TCatalogNode* node = frmCatTree_->FocusedNode();
    if (node && node->Item().IsFile()) {
        SelectedCatalog = TextOf(node, FullPath);
        accept();
    }
}

bool TFMCatLib::FrmCatTreeVTLibEditing(const TCatalogNode* node, int column) const {
    return column == 0 && node && node != frmCatTree_->RootNode();
}

void TFMCatLib::RestartEditing(TCatalogNode* node) {
    frmCatTree_->EditNode(node, 0);
}

void TFMCatLib::BtnNewCatClick() {
    TCatalogNode* root = frmCatTree_->RootNode();
    if (!root || NewGroupPending) {
        return;
    }
    TCatalogTree& tree = frmCatTree_->Tree();
    TCatalogNode* node = tree.AppendChild(root);
    SetText(node, FileName, kNewGroupName);
    SetText(node, FileType, QStringLiteral("directory"));
    SetText(node, FullPath, WithTrailingBackslash(TextOf(root, FullPath)) + kNewGroupName);
    SetText(node, FileTime, DateTimeText(QDateTime::currentDateTime()));
    tree.NotifyNodeChanged(node);
    frmCatTree_->FocusNode(node);
    NewGroupPending = true;
    pendingNode_ = node;
    frmCatTree_->EditNode(node, 0);
}

bool TFMCatLib::CreatePendingGroup(TCatalogNode* node, const QString& path) {
    const TLibraryResult result = CreateGroupDirectory(LibraryPath(), path);
    if (!result) {
        Warn(result.error);
        RestartEditing(node);
        return false;
    }
    NewGroupPending = false;
    pendingNode_ = nullptr;
    return true;
}

void TFMCatLib::FrmCatTreeVTLibNewText(TCatalogNode* node, const QString& text) {
    // This edit is dealt with here; its end (Edited) must not act on it again.
    typedNameHandled_ = true;
    if (NewGroupPending && node == pendingNode_) {
        const QString refusal = ValidateEntryName(text);
        if (!refusal.isEmpty()) {
            Warn(refusal);
            RestartEditing(node);
            return;
        }
        const QString path = ParentDirectoryOf(TextOf(node, FullPath)) + text;
        if (EntryExists(path, true)) {
            Warn(kNameExistsMessage);
            RestartEditing(node);
            return;
        }
        if (CreatePendingGroup(node, path)) {
            SetText(node, FileName, text);
            SetText(node, FullPath, path);
            frmCatTree_->Tree().NotifyNodeChanged(node);
        }
        return;
    }
    const QString oldPath = TextOf(node, FullPath);
    const TLibraryResult result =
        RenameLibraryEntry(frmCatTree_->Tree(), node, LibraryPath(), text, *progress_);
    if (!result) {
        Warn(result.error);
        // A name the user can correct keeps the editor open for another try.
        if (result.error == kNameExistsMessage || !ValidateEntryName(text).isEmpty()) {
            RestartEditing(node);
        }
        return;
    }
    if (TextOf(node, FullPath) != oldPath) {
        Changes.append({oldPath, TextOf(node, FullPath)});
    }
}

void TFMCatLib::FrmCatTreeVTLibEdited(TCatalogNode* node) {
    if (typedNameHandled_) {
        typedNameHandled_ = false;
        return;
    }
    if (!NewGroupPending || node != pendingNode_) {
        return;
    }
    const QString path = TextOf(node, FullPath);
    if (EntryExists(path, true)) {
        RestartEditing(node);  // "NewGroup" is taken: the user types another name
        return;
    }
    CreatePendingGroup(node, path);
}

bool TFMCatLib::FrmCatTreeVTLibFocusChanging(TCatalogNode* to, int toColumn) {
    if (!NewGroupPending || !pendingNode_ || (to == pendingNode_ && toColumn == 0)) {
        return true;
    }
    TCatalogNode* node = pendingNode_;
    const QString path = TextOf(node, FullPath);
    if (EntryExists(path, true)) {
        Warn(kNameExistsMessage);
        RestartEditing(node);
        return false;
    }
    return CreatePendingGroup(node, path);
}

void TFMCatLib::FrmCatTreeVTLibEditCancelled() {
    typedNameHandled_ = false;
    if (!NewGroupPending || !pendingNode_) {
        return;
    }
    TCatalogNode* node = pendingNode_;
    NewGroupPending = false;
    pendingNode_ = nullptr;
    frmCatTree_->Tree().DeleteNode(node);
    frmCatTree_->FocusNode(frmCatTree_->RootNode());
    FrmCatTreeVTLibChange(frmCatTree_->FocusedNode());
}

bool TFMCatLib::FrmCatTreeVTLibDragAllowed(const TCatalogNode* node) const {
    return node && node != frmCatTree_->RootNode() && !NewGroupPending;
}

bool TFMCatLib::FrmCatTreeVTLibDragOver(const TCatalogNode* dragged,
                                        const TCatalogNode* target) const {
    return dragged && target && IsOutsideDragged(dragged, target) && target->Item().IsDirectory();
}

void TFMCatLib::FrmCatTreeVTLibEndDrag(TCatalogNode* dragged, TCatalogNode* target) {
    if (!FrmCatTreeVTLibDragAllowed(dragged) || !FrmCatTreeVTLibDragOver(dragged, target)) {
        return;
    }
    const QString source = TextOf(dragged, FullPath);
    const QString destination = WithTrailingBackslash(TextOf(target, FullPath)) +
                                LastPathComponent(WithoutTrailingBackslash(source));
    const TLibraryResult result =
        MoveLibraryEntry(LibraryPath(), source, TextOf(target, FullPath), *progress_);
    if (!result) {
        Warn(result.error);
        return;
    }
    if (AnythingExistsAt(destination) && !AnythingExistsAt(source)) {
        Changes.append({source, destination});
    }
    // The reloaded tree keeps the order the user sees; the header click state stays.
    const int column = frmCatTree_->SortColumn();
    const bool ascending = frmCatTree_->SortAscending();
    frmCatTree_->LoadLibraryTree(LibraryPath(), false);
    frmCatTree_->SortBy(column, ascending);
    frmCatTree_->FitNameColumn(kNameColumnWidth);
    FrmCatTreeVTLibChange(frmCatTree_->FocusedNode());
}

QString DeleteQuestionText(const TFileItem& item) {
    const std::string_view name = item.Field(FileName);
    const QString shown = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const std::string_view path = item.Field(FullPath);
    const QString where = QDir::toNativeSeparators(
        QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    const QString what =
        item.IsFile()
            ? QStringLiteral("The catalog \"%1\" (%2) will be moved to the trash.")
            : QStringLiteral(
                  "The group \"%1\" (%2) and every group and catalog in it will be moved to "
                  "the trash.");
    return kDeleteItemQuestion + QStringLiteral("\n\n") + what.arg(shown, where);
}

void TFMCatLib::BtnDelClick() {
    TCatalogNode* node = frmCatTree_->FocusedNode();
    if (!node) {
        return;
    }
    if (!prompt_.AskYesNo(kWarningTitle, DeleteQuestionText(node->Item()),
                          TMessageIcon::Question)) {
        return;
    }
    if (NewGroupPending && node == pendingNode_) {
        // Nothing exists on disk yet.
        NewGroupPending = false;
        pendingNode_ = nullptr;
    } else {
        // Into the desktop's trash, from where the file manager can put it back.
        const QString path = TextOf(node, FullPath);
        const TLibraryResult result = TrashLibraryEntry(LibraryPath(), path, *progress_);
        if (!result) {
            Warn(result.error);
            return;
        }
        Changes.append({path, QString()});
    }
    frmCatTree_->Tree().DeleteNode(node);
    FrmCatTreeVTLibChange(frmCatTree_->FocusedNode());
}

void TFMCatLib::BtnUpdateClick() {
    const TCatalogNode* node = frmCatTree_->FocusedNode();
    if (node && node->Item().IsFile() && UpdateCatalog) {
        UpdateCatalog(TextOf(node, FullPath));
    }
}

void TFMCatLib::BtnExportClick() {
    const TCatalogNode* node = frmCatTree_->FocusedNode();
    if (node && node->Item().IsFile() && ExportCatalog) {
        ExportCatalog(TextOf(node, FullPath));
    }
}

QString FollowLibraryChanges(const QString& path, const QList<TLibraryChange>& changes) {
    QString current = path;
    for (const TLibraryChange& change : changes) {
        if (current.isEmpty()) {
            break;
        }
        const QString inside = WithTrailingBackslash(change.from);
        if (current == change.from) {
            current = change.to;
        } else if (current.startsWith(inside)) {
            current = change.to.isEmpty()
                          ? QString()
                          : WithTrailingBackslash(change.to) + current.mid(inside.size());
        }
    }
    return current;
}

}  // namespace melodrix
