#include "gui/shell/ViewState.h"

#include <QScrollBar>
#include <QTreeView>
#include <unordered_set>

#include "gui/shell/TreeModelBase.h"

namespace melodrix {

namespace {

std::string PathOf(const TCatalogNode* node) {
    return std::string(node->Item().Field(FullPath));
}

// Follows a chain of paths (the item's first, the top level's last) down the tree: the node
// of the item itself, or of its nearest ancestor that is still there, or nullptr.
TCatalogNode* FindAlongChain(const TCatalogTree& tree, const std::vector<std::string>& chain) {
    TCatalogNode* found = nullptr;
    for (auto path = chain.rbegin(); path != chain.rend(); ++path) {
        TCatalogNode* next = nullptr;
        const int count = found ? found->ChildCount() : tree.TopLevelCount();
        for (int row = 0; row < count && !next; ++row) {
            TCatalogNode* candidate = found ? found->Child(row) : tree.TopLevel(row);
            if (candidate->Item().Field(FullPath) == *path) {
                next = candidate;
            }
        }
        if (!next) {
            break;
        }
        found = next;
    }
    return found;
}

// Runs `visit` for the nodes with children the view shows as expanded; a collapsed
// node's subtree is not walked.
template <typename Visit>
void ForEachShownParent(const TTreeModelBase& model, Visit&& visit) {
    const TCatalogTree& tree = model.Tree();
    std::vector<TCatalogNode*> pending;
    for (int row = tree.TopLevelCount() - 1; row >= 0; --row) {
        pending.push_back(tree.TopLevel(row));
    }
    while (!pending.empty()) {
        TCatalogNode* node = pending.back();
        pending.pop_back();
        if (node->ChildCount() == 0 || !visit(node)) {
            continue;
        }
        for (int row = node->ChildCount() - 1; row >= 0; --row) {
            pending.push_back(node->Child(row));
        }
    }
}

}  // namespace

std::vector<std::string> PathChain(const TCatalogNode* node) {
    std::vector<std::string> chain;
    for (; node; node = node->Parent()) {
        chain.push_back(PathOf(node));
    }
    return chain;
}

TContentViewState TContentViewState::Capture(const QTreeView& view, const TTreeModelBase& model) {
    TContentViewState state;
    ForEachShownParent(model, [&](TCatalogNode* node) {
        if (!view.isExpanded(model.IndexOf(node))) {
            return false;
        }
        state.expanded_.push_back(PathOf(node));
        return true;
    });
    if (const QItemSelectionModel* selection = view.selectionModel()) {
        const QModelIndex current = selection->currentIndex();
        if (const TCatalogNode* node = TTreeModelBase::NodeOf(current)) {
            state.current_ = PathChain(node);
            state.currentColumn_ = current.column();
            state.currentSelected_ = selection->isRowSelected(current.row(), current.parent());
        }
    }
    const QModelIndex top = view.indexAt(QPoint(0, 0));
    if (const TCatalogNode* node = TTreeModelBase::NodeOf(top)) {
        state.top_ = PathChain(node);
        state.topOffset_ = -view.visualRect(top).top();
    }
    state.vertical_ = view.verticalScrollBar()->value();
    state.horizontal_ = view.horizontalScrollBar()->value();
    return state;
}

void TContentViewState::Restore(QTreeView& view, const TTreeModelBase& model) const {
    const std::unordered_set<std::string> expanded(expanded_.begin(), expanded_.end());
    ForEachShownParent(model, [&](TCatalogNode* node) {
        if (!expanded.contains(PathOf(node))) {
            return false;
        }
        view.setExpanded(model.IndexOf(node), true);
        return true;
    });

    // Setting the focus would scroll to it (and open its folders): the scroll position is
    // put back on its own below.
    const bool autoScroll = view.hasAutoScroll();
    view.setAutoScroll(false);
    if (QItemSelectionModel* selection = view.selectionModel()) {
        const TCatalogNode* node = FindAlongChain(model.Tree(), current_);
        if (node) {
            const QModelIndex index = model.IndexOf(node, currentColumn_);
            // An ancestor standing in for the focused item takes its selection too.
            selection->setCurrentIndex(
                index, currentSelected_
                           ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                           : QItemSelectionModel::NoUpdate);
        } else if (!current_.empty()) {
            selection->clear();
        }
    }
    view.setAutoScroll(autoScroll);

    // The scroll bars learn the new tree's size from the layout.
    view.doItemsLayout();
    const TCatalogNode* top = FindAlongChain(model.Tree(), top_);
    if (top && PathOf(top) == top_.front()) {
        view.scrollTo(model.IndexOf(top), QAbstractItemView::PositionAtTop);
        if (topOffset_ > 0 && view.verticalScrollMode() == QAbstractItemView::ScrollPerPixel) {
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + topOffset_);
        }
    } else {
        view.verticalScrollBar()->setValue(vertical_);
    }
    view.horizontalScrollBar()->setValue(horizontal_);
}

}  // namespace melodrix
