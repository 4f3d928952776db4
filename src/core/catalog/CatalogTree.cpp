#include "core/catalog/CatalogTree.h"

#include <algorithm>
#include <exception>
#include <thread>

namespace melodrix {

TCatalogNode* TCatalogNode::Parent() const {
    // The hidden root has no parent of its own; its children report none.
    return parent_ && parent_->parent_ ? parent_ : nullptr;
}

TCatalogNode* TCatalogNode::Child(int row) const {
    if (row < 0 || row >= ChildCount()) {
        return nullptr;
    }
    return children_[static_cast<size_t>(row)].get();
}

TCatalogNode* TCatalogNode::FirstChild() const {
    return Child(0);
}

TCatalogNode* TCatalogNode::LastChild() const {
    return Child(ChildCount() - 1);
}

TCatalogNode* TCatalogNode::NextSibling() const {
    return parent_ ? parent_->Child(row_ + 1) : nullptr;
}

TCatalogNode* TCatalogNode::PreviousSibling() const {
    return parent_ ? parent_->Child(row_ - 1) : nullptr;
}

int TCatalogNode::Depth() const {
    int depth = 0;
    for (const TCatalogNode* p = Parent(); p; p = p->Parent()) {
        ++depth;
    }
    return depth;
}

TCatalogTree::TCatalogTree() : root_(std::make_unique<TCatalogNode>()) {}

TCatalogTree::~TCatalogTree() {
    DestroyChildren(root_.get());
}

template <typename F>
void TCatalogTree::Notify(F&& f) {
    for (ITreeObserver* observer : observers_) {
        f(*observer);
    }
}

void TCatalogTree::AddObserver(ITreeObserver* observer) {
    observers_.push_back(observer);
}

void TCatalogTree::RemoveObserver(ITreeObserver* observer) {
    std::erase(observers_, observer);
}

void TCatalogTree::DestroyChildren(TCatalogNode* node) {
    // Deep catalogs must not overflow the stack through recursive destructors: move
    // every descendant into one flat list first, then let it go.
    std::vector<std::unique_ptr<TCatalogNode>> pending;
    pending.swap(node->children_);
    while (!pending.empty()) {
        std::unique_ptr<TCatalogNode> current = std::move(pending.back());
        pending.pop_back();
        for (auto& child : current->children_) {
            pending.push_back(std::move(child));
        }
        current->children_.clear();
    }
}

void TCatalogTree::Clear() {
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.TreeAboutToReset(); });
    }
    DestroyChildren(root_.get());
    nodeCount_ = 0;
    attributes_.Clear();
    fileStamp_ = {};
    sourcePaths_.clear();
    sourceOf_.clear();
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.TreeReset(); });
    }
}

void TCatalogTree::TakeContents(TCatalogTree& source) {
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.TreeAboutToReset(); });
    }
    // Top-level nodes point at the hidden root that holds them, so the roots change hands.
    std::swap(root_, source.root_);
    std::swap(nodeCount_, source.nodeCount_);
    std::swap(attributes_, source.attributes_);
    std::swap(fileStamp_, source.fileStamp_);
    std::swap(sourcePaths_, source.sourcePaths_);
    std::swap(sourceOf_, source.sourceOf_);
    source.DestroyChildren(source.root_.get());
    source.nodeCount_ = 0;
    source.attributes_.Clear();
    source.fileStamp_ = {};
    source.sourcePaths_.clear();
    source.sourceOf_.clear();
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.TreeReset(); });
    }
}

TCatalogNode* TCatalogTree::AppendChild(TCatalogNode* parent) {
    TCatalogNode* owner = parent ? parent : root_.get();
    const int row = owner->ChildCount();
    if (!InUpdate()) {
        Notify([&](ITreeObserver& o) { o.NodesAboutToBeInserted(parent, row, row); });
    }
    auto node = std::make_unique<TCatalogNode>();
    node->parent_ = owner;
    node->row_ = row;
    TCatalogNode* result = node.get();
    owner->children_.push_back(std::move(node));
    ++nodeCount_;
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.NodesInserted(); });
    }
    return result;
}

TCatalogNode* TCatalogTree::AppendChildren(TCatalogNode* parent, int count) {
    if (count <= 0) {
        return nullptr;
    }
    TCatalogNode* owner = parent ? parent : root_.get();
    const int first = owner->ChildCount();
    if (!InUpdate()) {
        Notify(
            [&](ITreeObserver& o) { o.NodesAboutToBeInserted(parent, first, first + count - 1); });
    }
    for (int row = first; row < first + count; ++row) {
        auto node = std::make_unique<TCatalogNode>();
        node->parent_ = owner;
        node->row_ = row;
        owner->children_.push_back(std::move(node));
    }
    nodeCount_ += static_cast<size_t>(count);
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.NodesInserted(); });
    }
    return owner->children_[static_cast<size_t>(first)].get();
}

void TCatalogTree::DeleteNode(TCatalogNode* node) {
    if (!node || !node->parent_) {
        return;
    }
    TCatalogNode* owner = node->parent_;
    const int row = node->row_;
    if (!InUpdate()) {
        Notify([&](ITreeObserver& o) { o.NodesAboutToBeRemoved(node->Parent(), row, row); });
    }
    size_t removed = 1;
    ForEachDescendant(node, [&](TCatalogNode*) { ++removed; });
    // A later node may be made at the same address; it must not inherit the source.
    sourceOf_.erase(node);
    DestroyChildren(node);
    owner->children_.erase(owner->children_.begin() + row);
    Renumber(owner, row);
    nodeCount_ -= removed;
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.NodesRemoved(); });
    }
}

void TCatalogTree::Renumber(TCatalogNode* parent, int from) {
    for (int i = from; i < parent->ChildCount(); ++i) {
        parent->children_[static_cast<size_t>(i)]->row_ = i;
    }
}

TCatalogNode* TCatalogTree::GetNext(const TCatalogNode* node) const {
    if (!node) {
        return nullptr;
    }
    if (node->ChildCount() > 0) {
        return node->FirstChild();
    }
    for (const TCatalogNode* current = node; current && current != root_.get();
         current = current->parent_) {
        if (TCatalogNode* next = current->NextSibling()) {
            return next;
        }
    }
    return nullptr;
}

void TCatalogTree::SetExpanded(TCatalogNode* node, bool expanded) {
    if (!node || node->expanded_ == expanded) {
        return;
    }
    node->expanded_ = expanded;
    if (!InUpdate()) {
        Notify([&](ITreeObserver& o) { o.NodeExpansionChanged(node); });
    }
}

void TCatalogTree::BeginUpdate() {
    if (updateDepth_++ == 0) {
        Notify([](ITreeObserver& o) { o.TreeAboutToReset(); });
    }
}

void TCatalogTree::EndUpdate() {
    if (updateDepth_ == 0) {
        return;
    }
    if (--updateDepth_ == 0) {
        Notify([](ITreeObserver& o) { o.TreeReset(); });
    }
}

void TCatalogTree::NotifyNodeChanged(TCatalogNode* node) {
    if (node && !InUpdate()) {
        Notify([&](ITreeObserver& o) { o.NodeChanged(node); });
    }
}

// Reorders the child lists of `tops` and of every node below them, depth first: a list is
// reordered just before its children are visited, while it is still in the cache.
void TCatalogTree::ReorderSubtrees(const std::vector<TCatalogNode*>& tops,
                                   const TReorder& reorder) {
    std::vector<TCatalogNode*> pending(tops.rbegin(), tops.rend());
    while (!pending.empty()) {
        TCatalogNode* parent = pending.back();
        pending.pop_back();
        if (parent->children_.size() > 1) {
            reorder(parent->children_);
            Renumber(parent, 0);
        }
        for (auto child = parent->children_.rbegin(); child != parent->children_.rend(); ++child) {
            if (!(*child)->children_.empty()) {
                pending.push_back(child->get());
            }
        }
    }
}

// Reorders the top levels, level by level, until there are enough subtrees below them to
// share between two threads; then cuts that list of subtrees once, where half of their
// children lie before the cut: `frontier` keeps the first half, `later` gets the rest.
void TCatalogTree::SplitTopLevels(const TReorder& reorder, std::vector<TCatalogNode*>& frontier,
                                  std::vector<TCatalogNode*>& later) {
    constexpr size_t kSubtreesToShare = 64;
    std::vector<TCatalogNode*> next;
    while (!frontier.empty() && frontier.size() < kSubtreesToShare) {
        next.clear();
        for (TCatalogNode* parent : frontier) {
            if (parent->children_.size() > 1) {
                reorder(parent->children_);
                Renumber(parent, 0);
            }
            for (const auto& child : parent->children_) {
                if (!child->children_.empty()) {
                    next.push_back(child.get());
                }
            }
        }
        frontier.swap(next);
    }
    size_t total = 0;
    for (const TCatalogNode* node : frontier) {
        total += node->children_.size();
    }
    size_t cut = 0;
    for (size_t before = 0; cut < frontier.size() && before < total / 2; ++cut) {
        before += frontier[cut]->children_.size();
    }
    later.assign(frontier.begin() + static_cast<std::ptrdiff_t>(cut), frontier.end());
    frontier.resize(cut);
}

void TCatalogTree::ReorderAllLevels(const std::function<TReorder()>& makeReorder, int threads) {
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.LayoutAboutToChange(); });
    }
    // A second thread pays for itself only over many nodes.
    constexpr size_t kNodesForTwoThreads = 20000;
    const bool twoThreads = threads == 0 ? nodeCount_ >= kNodesForTwoThreads : threads > 1;
    std::vector<TCatalogNode*> frontier{root_.get()};
    std::vector<TCatalogNode*> later;
    std::exception_ptr failure;
    std::exception_ptr helperFailure;
    std::thread helper;
    try {
        const TReorder reorder = makeReorder();
        if (twoThreads) {
            SplitTopLevels(reorder, frontier, later);
        }
        if (!later.empty()) {
            helper = std::thread([&] {
                try {
                    ReorderSubtrees(later, makeReorder());
                } catch (...) {
                    helperFailure = std::current_exception();
                }
            });
        }
        ReorderSubtrees(frontier, reorder);
    } catch (...) {
        failure = std::current_exception();
    }
    if (helper.joinable()) {
        helper.join();
    }
    // The views hear of the new order also when it is incomplete.
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.LayoutChanged(); });
    }
    if (failure || helperFailure) {
        std::rethrow_exception(failure ? failure : helperFailure);
    }
}

void TCatalogTree::SortAllLevels(
    const std::function<bool(const TCatalogNode*, const TCatalogNode*)>& less) {
    ReorderAllLevels([&]() -> TReorder {
        return [&](std::vector<std::unique_ptr<TCatalogNode>>& children) {
            std::stable_sort(children.begin(), children.end(),
                             [&](const auto& a, const auto& b) { return less(a.get(), b.get()); });
        };
    });
}

void TCatalogTree::SetSourceCatalog(const TCatalogNode* node, const QString& path) {
    if (sourcePaths_.empty() || sourcePaths_.back() != path) {
        sourcePaths_.push_back(path);
    }
    sourceOf_[node] = static_cast<uint32_t>(sourcePaths_.size() - 1);
}

QString TCatalogTree::SourceCatalog(const TCatalogNode* node) const {
    const auto found = sourceOf_.find(node);
    return found == sourceOf_.end() ? QString() : sourcePaths_[found->second];
}

}  // namespace melodrix
