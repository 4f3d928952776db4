#pragma once

#include <QBrush>
#include <functional>
#include <unordered_map>
#include <vector>

#include "core/config/Config.h"
#include "gui/shell/FileIcons.h"
#include "gui/shell/TreeModelBase.h"

namespace melodrix {

// The content view's model: one row per catalog item, one column per entry of the
// column model. Texts are made only for the cells that are asked for.
class TCatalogModel final : public TTreeModelBase {
    Q_OBJECT
public:
    explicit TCatalogModel(TCatalogTree& tree, QObject* parent = nullptr);

    // Rebuilds the columns (a model reset).
    void SetColumns(std::vector<TColumnSpec> columns);
    const std::vector<TColumnSpec>& Columns() const { return columns_; }
    // The field shown in a column; FileName for a column that does not exist.
    int FieldOfColumn(int column) const;

    // An accepted in-place edit: the node, the column's field and the typed text.
    std::function<void(TCatalogNode*, int, const QString&)> NewText;

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Numbers shown in the Description column instead of the items' own texts (the groups of
    // duplicate hits). They live in the view only and go when the tree is reset.
    void SetDescriptionOverlay(std::unordered_map<const TCatalogNode*, int> numbers);

    // Hint of a cell: its text, plus how to edit it for FileName and Description.
    static QString HintText(int field, const TFileItem& item);

protected:
    void TreeAboutToReset() override;
    void NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) override;

private:
    QVariant Decoration(const TCatalogNode& node) const;
    std::unordered_map<const TCatalogNode*, int> descriptionOverlay_;

    std::vector<TColumnSpec> columns_;
    std::vector<QBrush> backgrounds_;
    std::vector<Qt::Alignment> alignments_;
    mutable TFileIcons icons_;
};

// "right" and "center", compared exactly, else left.
Qt::Alignment AlignmentOf(const QString& align);

}  // namespace melodrix
