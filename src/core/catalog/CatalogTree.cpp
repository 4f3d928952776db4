#include "core/catalog/CatalogTree.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
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

// The lists still to be reordered that a thread has handed to the others.
struct TCatalogTree::TLevelWork {
    explicit TLevelWork(int threadCount) : threads(threadCount) {}
    const int threads;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<TCatalogNode*> shared;
    int idle = 0;
    std::atomic<bool> wanted = false;  // a thread waits for work
    std::atomic<bool> failed = false;
    std::exception_ptr failure;  // the first

    // Keeps the failure; every thread then stops.
    void Fail(std::exception_ptr error) {
        const std::lock_guard lock(mutex);
        if (!failure) {
            failure = std::move(error);
        }
        failed = true;
        changed.notify_all();
    }
};

// Reorders the lists below the nodes it is given, depth first. A thread that runs out takes
// what another hands over; the other hands over half of what it still has to do when it sees
// one waiting. All are done when every thread waits.
void TCatalogTree::ReorderLevels(TLevelWork& work, const TReorder& reorder) {
    std::vector<TCatalogNode*> mine;
    for (;;) {
        if (mine.empty()) {
            std::unique_lock lock(work.mutex);
            ++work.idle;
            work.wanted = true;
            work.changed.notify_all();
            work.changed.wait(lock, [&] {
                return !work.shared.empty() || work.idle == work.threads || work.failed;
            });
            if (work.shared.empty() || work.failed) {
                return;
            }
            --work.idle;
            work.wanted = work.idle > 0;
            mine.swap(work.shared);
            continue;
        }
        TCatalogNode* parent = mine.back();
        mine.pop_back();
        if (parent->children_.size() > 1) {
            reorder(parent->children_);
            Renumber(parent, 0);
        }
        for (const auto& child : parent->children_) {
            if (!child->children_.empty()) {
                mine.push_back(child.get());
            }
        }
        if (work.wanted && mine.size() > 1) {
            const std::lock_guard lock(work.mutex);
            if (work.shared.empty() && work.idle > 0) {
                // The bottom of the stack lies nearest the top of the tree: the larger share.
                const auto half = mine.begin() + static_cast<std::ptrdiff_t>(mine.size() / 2);
                work.shared.assign(mine.begin(), half);
                mine.erase(mine.begin(), half);
                work.changed.notify_all();
            }
        }
    }
}

void TCatalogTree::ReorderAllLevels(const std::function<TReorder()>& makeReorder) {
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.LayoutAboutToChange(); });
    }
    // A second thread pays for itself only over many nodes.
    constexpr size_t kNodesForTwoThreads = 20000;
    const bool twoThreads = nodeCount_ >= kNodesForTwoThreads;
    TLevelWork work(twoThreads ? 2 : 1);
    const auto run = [&] {
        try {
            ReorderLevels(work, makeReorder());
        } catch (...) {
            work.Fail(std::current_exception());
        }
    };
    std::thread helper;
    if (twoThreads) {
        helper = std::thread(run);
    }
    {
        const std::lock_guard lock(work.mutex);
        work.shared.push_back(root_.get());
    }
    run();
    if (helper.joinable()) {
        helper.join();
    }
    // The views hear of the new order also when it is incomplete.
    if (!InUpdate()) {
        Notify([](ITreeObserver& o) { o.LayoutChanged(); });
    }
    if (work.failure) {
        std::rethrow_exception(work.failure);
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
