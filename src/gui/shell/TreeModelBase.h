#pragma once

#include <QAbstractItemModel>

#include "core/catalog/CatalogTree.h"

namespace melodrix {

// The structure half of a Qt model over a TCatalogTree: indexes carry the node pointer,
// parent and row lookups are O(1) through the node's kept row, and the tree's change
// notifications become the model's signals. Subclasses supply columns and cell data.
class TTreeModelBase : public QAbstractItemModel, protected ITreeObserver {
    Q_OBJECT
public:
    explicit TTreeModelBase(TCatalogTree& tree, QObject* parent = nullptr);
    ~TTreeModelBase() override;

    TCatalogTree& Tree() const { return tree_; }
    static TCatalogNode* NodeOf(const QModelIndex& index);
    QModelIndex IndexOf(const TCatalogNode* node, int column = 0) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

signals:
    // The tree changed a node's expansion itself (not through the view).
    void ExpansionChanged(const QModelIndex& index, bool expanded);

protected:
    void TreeAboutToReset() override;
    void TreeReset() override;
    void NodesAboutToBeInserted(TCatalogNode* parent, int first, int last) override;
    void NodesInserted() override;
    void NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) override;
    void NodesRemoved() override;
    void LayoutAboutToChange() override;
    void LayoutChanged() override;
    void NodeChanged(TCatalogNode* node) override;
    void NodeExpansionChanged(TCatalogNode* node) override;

private:
    TCatalogTree& tree_;
    QModelIndexList layoutFrom_;
};

}  // namespace melodrix
