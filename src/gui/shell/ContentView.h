#pragma once

#include <QHeaderView>
#include <QTreeView>
#include <vector>

#include "core/config/Config.h"

namespace melodrix {

class TCatalogModel;

// A header that reports left clicks for sorting and the right button for the column
// choice, and lets no other button sort.
class TGridHeader final : public QHeaderView {
    Q_OBJECT
public:
    explicit TGridHeader(QWidget* parent = nullptr);

signals:
    void LeftClicked(int logicalIndex);
    void RightPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The catalog content view `VT`: a tree-grid over the catalog model.
class TContentView final : public QTreeView {
    Q_OBJECT
public:
    explicit TContentView(QWidget* parent = nullptr);

    void SetCatalogModel(TCatalogModel* model);
    TCatalogModel* CatalogModel() const { return model_; }
    TGridHeader* Header() const { return header_; }

    // The sort state: no column until the first header click, then the clicked column.
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }
    // A left click on column c: the first click sorts ascending, every later one flips.
    void ApplyHeaderClick(int column);

private:
    TCatalogModel* model_ = nullptr;
    TGridHeader* header_;
    int sortColumn_ = -1;
    bool ascending_ = true;
};

// Rebuilds the view's columns from the column model: captions, widths, colours and
// alignment, then display positions and visibility.
void ApplyColumns(QTreeView& view, TCatalogModel& model, const std::vector<TColumnSpec>& columns);

}  // namespace melodrix
