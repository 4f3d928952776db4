#pragma once

#include <QPointer>
#include <QTreeView>
#include <QWidget>
#include <functional>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

class TGridHeader;
class TLibraryModel;

// The tree-grid of the library frame. A click anywhere in it, on a node or not, is
// reported, as the hosts act on the focused node.
class TLibraryView final : public QTreeView {
    Q_OBJECT
public:
    explicit TLibraryView(QWidget* parent = nullptr);
    // The width the shown cells of a column need.
    using QTreeView::sizeHintForColumn;

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The reusable view of the catalog library (`VTLib` inside). Hosts reload it with
// LoadLibraryTree and act on its focused node. The behaviour a host may replace is a set
// of std::function members; the defaults are the frame's own.
class TFrmCatTree final : public QWidget {
    Q_OBJECT
public:
    explicit TFrmCatTree(QWidget* parent = nullptr);
    ~TFrmCatTree() override;

    // Fills the tree from the library directory (empty: the configured library), then
    // focuses the view, selects, focuses and expands the root.
    void LoadLibraryTree(const QString& path, bool groupsOnly);
    // Reads the library last loaded again (it changed on disk), keeping the open groups, the
    // focused node, the scroll position and the sort; the input focus stays where it is.
    void ReloadLibraryTree();

    TCatalogTree& Tree() { return tree_; }
    TLibraryView* VTLib() const { return view_; }
    TLibraryModel* Model() const { return model_; }
    TCatalogNode* FocusedNode() const;
    TCatalogNode* RootNode() const { return tree_.GetFirst(); }
    // Selects and focuses a node (the input focus goes to the view).
    void FocusNode(TCatalogNode* node, int column = 0);
    // Whether the node is (still) in the tree.
    bool ContainsNode(const TCatalogNode* node) const;
    // Starts in-place editing of a node's cell once the current event is done.
    void EditNode(TCatalogNode* node, int column = 0);

    // Header sorting: none until the first left click; then the clicked column, and every
    // later click flips the direction. Sorting is by CompareLibraryNodes, groups first.
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }
    void HeaderClick(int column);
    // Sorts the whole tree by the column and direction and shows them in the header, as
    // though the user had clicked there; later clicks go on from this state.
    void SortBy(int column, bool ascending);
    // Widens the name column so the names shown are whole, never narrower than `least`.
    void FitNameColumn(int least);

    // --- What hosts may replace ---
    // May the node's cell be edited in place? The frame refuses.
    std::function<bool(TCatalogNode* node, int column)> Editing;
    // The hint of a node's cell; the frame shows the cell's own text.
    std::function<QString(TCatalogNode* node, int column)> GetHint;
    // An edit was committed in which the user typed (even if the text ends unchanged).
    std::function<void(TCatalogNode* node, int column, const QString& text)> NewText;
    // Follows every completed edit, after NewText.
    std::function<void(TCatalogNode* node, int column)> Edited;
    // The edit was given up with Escape.
    std::function<void(TCatalogNode* node, int column)> EditCancelled;
    // The focus is about to move; false keeps it where it is.
    std::function<bool(TCatalogNode* from, TCatalogNode* to, int toColumn)> FocusChanging;
    // May this node be dragged? The frame allows no dragging.
    std::function<bool(TCatalogNode* node)> DragAllowed;
    // Would a drop of the focused node onto `target` be accepted?
    std::function<bool(TCatalogNode* dragged, TCatalogNode* target)> DragOver;
    // The drag ended over `target` (run after the drop event has finished).
    std::function<void(TCatalogNode* dragged, TCatalogNode* target)> EndDrag;

signals:
    void Click();
    void DblClick();
    // The selection changed; the node is the newly selected one, or nullptr.
    void Change(TCatalogNode* node);
    void FocusChanged(TCatalogNode* node);

private:
    class TEditDelegate;
    class TGuardedSelection;

    TCatalogTree tree_;
    TLibraryModel* model_;
    TLibraryView* view_;
    TGridHeader* header_;
    int sortColumn_ = -1;
    bool ascending_ = true;
    QString loadedPath_;  // what LoadLibraryTree was last given
    bool groupsOnly_ = false;
};

}  // namespace melodrix
