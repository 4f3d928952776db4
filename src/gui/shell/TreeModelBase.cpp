#include "gui/shell/TreeModelBase.h"

namespace melodrix {

TTreeModelBase::TTreeModelBase(TCatalogTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {
    tree_.AddObserver(this);
}

TTreeModelBase::~TTreeModelBase() {
    tree_.RemoveObserver(this);
}

TCatalogNode* TTreeModelBase::NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<TCatalogNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TTreeModelBase::IndexOf(const TCatalogNode* node, int column) const {
    if (!node) {
        return {};
    }
    return createIndex(node->Row(), column, const_cast<TCatalogNode*>(node));
}

QModelIndex TTreeModelBase::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= columnCount(parent)) {
        return {};
    }
    if (parent.isValid() && parent.column() != 0) {
        return {};
    }
    const TCatalogNode* owner = NodeOf(parent);
    const int count = owner ? owner->ChildCount() : tree_.TopLevelCount();
    if (row >= count) {
        return {};
    }
    TCatalogNode* child = owner ? owner->Child(row) : tree_.TopLevel(row);
    return createIndex(row, column, child);
}

QModelIndex TTreeModelBase::parent(const QModelIndex& child) const {
    const TCatalogNode* node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TTreeModelBase::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) {
        return 0;
    }
    const TCatalogNode* node = NodeOf(parent);
    return node ? node->ChildCount() : tree_.TopLevelCount();
}

bool TTreeModelBase::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

void TTreeModelBase::TreeAboutToReset() {
    beginResetModel();
}

void TTreeModelBase::TreeReset() {
    endResetModel();
}

void TTreeModelBase::NodesAboutToBeInserted(TCatalogNode* parent, int first, int last) {
    beginInsertRows(IndexOf(parent), first, last);
}

void TTreeModelBase::NodesInserted() {
    endInsertRows();
}

void TTreeModelBase::NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) {
    beginRemoveRows(IndexOf(parent), first, last);
}

void TTreeModelBase::NodesRemoved() {
    endRemoveRows();
}

void TTreeModelBase::LayoutAboutToChange() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    layoutFrom_ = persistentIndexList();
}

void TTreeModelBase::LayoutChanged() {
    // Nodes keep their identity through a sort; only their rows changed.
    QModelIndexList to;
    to.reserve(layoutFrom_.size());
    for (const QModelIndex& from : std::as_const(layoutFrom_)) {
        to.append(IndexOf(NodeOf(from), from.column()));
    }
    changePersistentIndexList(layoutFrom_, to);
    layoutFrom_.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TTreeModelBase::NodeChanged(TCatalogNode* node) {
    const int columns = columnCount(IndexOf(node->Parent()));
    if (columns > 0) {
        emit dataChanged(IndexOf(node, 0), IndexOf(node, columns - 1));
    }
}

void TTreeModelBase::NodeExpansionChanged(TCatalogNode* node) {
    emit ExpansionChanged(IndexOf(node), node->Expanded());
    NodeChanged(node);  // folders show their open picture while expanded
}

}  // namespace melodrix
