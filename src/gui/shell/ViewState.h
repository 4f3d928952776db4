#pragma once

#include <string>
#include <vector>

class QTreeView;

namespace melodrix {

class TCatalogNode;
class TTreeModelBase;

// Where the user stands in a tree view over a catalog tree: the open folders, the focused
// item and column (and whether it was selected) and the scroll position. Items are told by
// their FullPath, so the place is found again in a tree that was read afresh. The order of
// the rows is not kept here: the owner sorts the new tree as the view was sorted.
class TContentViewState {
public:
    static TContentViewState Capture(const QTreeView& view, const TTreeModelBase& model);
    // Puts the view back where it was as far as the items are still there: a focused item
    // that is gone gives its place to its nearest ancestor that is not, a top row that is
    // gone to the scroll position in pixels.
    void Restore(QTreeView& view, const TTreeModelBase& model) const;

    const std::vector<std::string>& ExpandedPaths() const { return expanded_; }
    // The focused item's path first, then its ancestors' up to the top level; empty when
    // nothing was focused.
    const std::vector<std::string>& CurrentChain() const { return current_; }

private:
    std::vector<std::string> expanded_;
    std::vector<std::string> current_;
    std::vector<std::string> top_;  // the first row on screen and its ancestors
    int currentColumn_ = 0;
    bool currentSelected_ = false;
    int topOffset_ = 0;  // how far the top row reached above the viewport, in pixels
    int vertical_ = 0;
    int horizontal_ = 0;
};

// The FullPath of `node` and of each of its ancestors, the node's own first.
std::vector<std::string> PathChain(const TCatalogNode* node);

}  // namespace melodrix
