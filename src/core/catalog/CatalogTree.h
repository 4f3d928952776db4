#pragma once

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/base/FileStamp.h"
#include "core/catalog/CatalogAttributes.h"
#include "core/catalog/FileItem.h"

namespace melodrix {

class TCatalogTree;

// One node of a catalog tree. A node pointer stays valid until that node (or an
// ancestor) is deleted or the tree is cleared; its row among its siblings is kept
// in the node, so parent and row lookups are O(1) for the views.
class TCatalogNode {
public:
    TFileItem& Item() { return item_; }
    const TFileItem& Item() const { return item_; }

    // The parent node, or nullptr for a top-level node.
    TCatalogNode* Parent() const;
    int Row() const { return row_; }
    int ChildCount() const { return static_cast<int>(children_.size()); }
    TCatalogNode* Child(int row) const;
    TCatalogNode* FirstChild() const;
    TCatalogNode* LastChild() const;
    TCatalogNode* NextSibling() const;
    TCatalogNode* PreviousSibling() const;
    bool Expanded() const { return expanded_; }
    int Depth() const;

private:
    friend class TCatalogTree;
    TCatalogNode* parent_ = nullptr;  // the tree's hidden root for top-level nodes
    std::vector<std::unique_ptr<TCatalogNode>> children_;
    TFileItem item_;
    int row_ = 0;
    bool expanded_ = false;
};

// Told of every change to a tree, so that a view model can follow it. Inside an
// update bracket only the reset pair is sent, once for the whole bracket.
class ITreeObserver {
public:
    virtual ~ITreeObserver() = default;
    virtual void TreeAboutToReset() {}
    virtual void TreeReset() {}
    virtual void NodesAboutToBeInserted(TCatalogNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void NodesInserted() {}
    virtual void NodesAboutToBeRemoved(TCatalogNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void NodesRemoved() {}
    virtual void LayoutAboutToChange() {}
    virtual void LayoutChanged() {}
    virtual void NodeChanged(TCatalogNode* /*node*/) {}
    virtual void NodeExpansionChanged(TCatalogNode* /*node*/) {}
};

// An ordered tree of TFileItem records without a fixed depth.
class TCatalogTree {
public:
    TCatalogTree();
    ~TCatalogTree();
    TCatalogTree(const TCatalogTree&) = delete;
    TCatalogTree& operator=(const TCatalogTree&) = delete;

    // Removes every node and the catalog attributes.
    void Clear();
    // Replaces the contents by those of `source`, which is left empty. Observers of this
    // tree see one reset; `source` must have none.
    void TakeContents(TCatalogTree& source);
    // What the catalog says about itself as a whole; saved with it.
    TCatalogAttributes& Attributes() { return attributes_; }
    const TCatalogAttributes& Attributes() const { return attributes_; }
    // The identity of the catalog file this tree was last read from or written to, so a
    // writer can tell whether the file changed since; empty for a tree of no file.
    const TFileStamp& FileStamp() const { return fileStamp_; }
    void SetFileStamp(const TFileStamp& stamp) { fileStamp_ = stamp; }
    // For a list of hits (a search, the duplicate finder): the catalog file a top-level item
    // was found in, so that an edit of the hit goes to that catalog. Empty when unknown.
    void SetSourceCatalog(const TCatalogNode* node, const QString& path);
    QString SourceCatalog(const TCatalogNode* node) const;
    // Appends a fresh, empty item as the last child of `parent` (top level for nullptr).
    TCatalogNode* AppendChild(TCatalogNode* parent = nullptr);
    // Appends `count` fresh, empty items as the last children of `parent` (top level for
    // nullptr), told to observers as one insertion; returns the first of them, or nullptr
    // when `count` is not positive.
    TCatalogNode* AppendChildren(TCatalogNode* parent, int count);
    // Deletes the node with its whole subtree.
    void DeleteNode(TCatalogNode* node);

    int TopLevelCount() const { return root_->ChildCount(); }
    TCatalogNode* TopLevel(int row) const { return root_->Child(row); }
    TCatalogNode* GetFirst() const { return root_->FirstChild(); }
    // The node after `node` in depth-first pre-order over the whole tree, or nullptr.
    TCatalogNode* GetNext(const TCatalogNode* node) const;
    // Number of nodes in the tree.
    size_t NodeCount() const { return nodeCount_; }
    bool IsEmpty() const { return nodeCount_ == 0; }

    void SetExpanded(TCatalogNode* node, bool expanded);

    // Bracket bulk changes; observers see one reset when the outermost bracket closes.
    void BeginUpdate();
    void EndUpdate();
    bool InUpdate() const { return updateDepth_ > 0; }

    // Tells observers that the item of `node` changed.
    void NotifyNodeChanged(TCatalogNode* node);

    // Reorders the children of every node by `less`, which must be a strict weak
    // ordering; equal nodes keep their order. `less` may be called from two threads at once.
    void SortAllLevels(const std::function<bool(const TCatalogNode*, const TCatalogNode*)>& less);
    // Reorders every child list by a permutation callback: it receives the child list and
    // must leave it reordered. Rows are renumbered afterwards. A large tree is worked on by
    // two threads, each calling the callback `makeReorder` made for it: the child lists are
    // split once between them, so each list is reordered by one thread and the callbacks
    // only must not share what they change. `threads` is 1 or 2; 0 lets the tree's size
    // decide.
    using TReorder = std::function<void(std::vector<std::unique_ptr<TCatalogNode>>&)>;
    void ReorderAllLevels(const std::function<TReorder()>& makeReorder, int threads = 0);

    void AddObserver(ITreeObserver* observer);
    void RemoveObserver(ITreeObserver* observer);

private:
    template <typename F>
    void Notify(F&& f);
    static void Renumber(TCatalogNode* parent, int from);
    static void ReorderSubtrees(const std::vector<TCatalogNode*>& tops, const TReorder& reorder);
    static void SplitTopLevels(const TReorder& reorder, std::vector<TCatalogNode*>& frontier,
                               std::vector<TCatalogNode*>& later);
    void DestroyChildren(TCatalogNode* node);

    std::unique_ptr<TCatalogNode> root_;
    size_t nodeCount_ = 0;
    TCatalogAttributes attributes_;
    TFileStamp fileStamp_;
    std::vector<QString> sourcePaths_;  // consecutive hits of one catalog share an entry
    std::unordered_map<const TCatalogNode*, uint32_t> sourceOf_;
    int updateDepth_ = 0;
    std::vector<ITreeObserver*> observers_;
};

// Brackets bulk changes of a tree for a scope, also when the scope ends by an error.
class TTreeUpdate {
public:
    explicit TTreeUpdate(TCatalogTree& tree) : tree_(tree) { tree_.BeginUpdate(); }
    ~TTreeUpdate() { tree_.EndUpdate(); }
    TTreeUpdate(const TTreeUpdate&) = delete;
    TTreeUpdate& operator=(const TTreeUpdate&) = delete;

private:
    TCatalogTree& tree_;
};

// Calls `visit` for every node in depth-first pre-order, without recursion.
template <typename Visit>
void ForEachNode(const TCatalogTree& tree, Visit&& visit) {
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        visit(node);
    }
}

// Calls `visit` for every descendant of `node` (not the node itself) in pre-order.
template <typename Visit>
void ForEachDescendant(TCatalogNode* node, Visit&& visit) {
    if (!node || node->ChildCount() == 0) {
        return;
    }
    TCatalogNode* current = node->FirstChild();
    while (current) {
        visit(current);
        if (current->ChildCount() > 0) {
            current = current->FirstChild();
            continue;
        }
        for (;;) {
            if (TCatalogNode* next = current->NextSibling()) {
                current = next;
                break;
            }
            current = current->Parent();
            if (current == node || current == nullptr) {
                return;
            }
        }
    }
}

}  // namespace melodrix
