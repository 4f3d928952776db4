#pragma once

#include <QList>
#include <functional>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"
#include "gui/shell/CommandDialog.h"

class QPushButton;

namespace melodrix {

// An entry of the library that went elsewhere: renamed or moved to `to`, or deleted
// (`to` empty).
struct TLibraryChange {
    QString from;
    QString to;
};
class TFrmCatTree;

// The catalog library dialog: opens catalogs, creates groups, renames groups and
// catalogs in place, deletes them and moves them by drag and drop. Every change is made
// on disk at once; a change that fails is reported and leaves the tree as it was.
class TFMCatLib final : public TCommandDialog {
    Q_OBJECT
public:
    explicit TFMCatLib(IPromptSink& prompt, QWidget* parent = nullptr);
    ~TFMCatLib() override;

    // Where a rename, move or delete of a catalog shows that it waits for the program writing
    // it (with Cancel); shows nothing until set.
    void UseProgress(IProgressSink& progress) { progress_ = &progress; }

    // A group node was added whose directory does not exist yet.
    bool NewGroupPending = false;
    // The catalog chosen with Open or a double click; read by the caller after OK.
    QString SelectedCatalog;
    // What was renamed, moved or deleted on disk, in order.
    QList<TLibraryChange> Changes;
    // Shows the export dialog for a library catalog; set by the host.
    std::function<void(const QString& catalogPath)> ExportCatalog;
    // Updates a library catalog from its folder; set by the host.
    std::function<void(const QString& catalogPath)> UpdateCatalog;
    // How the host's library tree is sorted (column -1: never sorted): the dialog lists the
    // library the same way, and by name when the host's tree was never sorted.
    int LibrarySortColumn = -1;
    bool LibrarySortAscending = true;

    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }
    QPushButton* BtnNewCat() const { return btnNewCat_; }
    QPushButton* BtnOpen() const { return btnOpen_; }
    QPushButton* BtnDel() const { return btnDel_; }
    QPushButton* BtnExport() const { return btnExport_; }
    QPushButton* BtnUpdate() const { return btnUpdate_; }
    QPushButton* BtnClose() const { return btnClose_; }

    void BtnNewCatClick();
    void BtnOpenClick();
    void BtnDelClick();
    void BtnExportClick();
    void BtnUpdateClick();
    // What the tree asks while the focused node is dragged.
    bool FrmCatTreeVTLibDragAllowed(const TCatalogNode* node) const;
    bool FrmCatTreeVTLibDragOver(const TCatalogNode* dragged, const TCatalogNode* target) const;
    // The drag of `dragged` ended over `target`: move it there and reload.
    void FrmCatTreeVTLibEndDrag(TCatalogNode* dragged, TCatalogNode* target);

protected:
    void PrepareDialog() override;

private:
    void FrmCatTreeVTLibChange(const TCatalogNode* node);
    bool FrmCatTreeVTLibEditing(const TCatalogNode* node, int column) const;
    void FrmCatTreeVTLibNewText(TCatalogNode* node, const QString& text);
    void FrmCatTreeVTLibEdited(TCatalogNode* node);
    bool FrmCatTreeVTLibFocusChanging(TCatalogNode* to, int toColumn);
    void FrmCatTreeVTLibEditCancelled();
    // Creates the pending group's directory at the node's path; false (after a message)
    // when that failed.
    bool CreatePendingGroup(TCatalogNode* node, const QString& path);
    void RestartEditing(TCatalogNode* node);
    // Reads the library into the tree, sorted and with whole names.
    void LoadLibrary();
    void Warn(const QString& text);
    QString LibraryPath() const;

    IPromptSink& prompt_;
    IProgressSink* progress_ = &SilentProgress();
    TFrmCatTree* frmCatTree_;
    QPushButton* btnNewCat_;
    QPushButton* btnOpen_;
    QPushButton* btnDel_;
    QPushButton* btnExport_;
    QPushButton* btnUpdate_;
    QPushButton* btnClose_;
    TCatalogNode* pendingNode_ = nullptr;
    // The typed name of the current edit was dealt with; its end does nothing more.
    bool typedNameHandled_ = false;
};

// Where the file at `path` is after `changes`: its new path, or empty when it was
// deleted (alone or with a group above it).
QString FollowLibraryChanges(const QString& path, const QList<TLibraryChange>& changes);

inline const QString kDeleteItemQuestion =
    QStringLiteral("Are you sure to delete the item and all its children?");
// The question before a group or catalog is deleted: kDeleteItemQuestion, then what it is,
// by name and path, and that it goes to the trash.
QString DeleteQuestionText(const TFileItem& item);

}  // namespace melodrix
