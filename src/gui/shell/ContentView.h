#pragma once

#include <QHeaderView>
#include <QStyleOptionHeaderV2>
#include <QTreeView>
#include <vector>

#include "core/config/Config.h"

namespace melodrix {

class TCatalogModel;

// A header that reports left clicks for sorting and the right button for the column
// choice, and lets no other button sort. It tells when the user sized a column, and keeps
// the caption of a right-aligned column clear of the sort arrow.
class TGridHeader final : public QHeaderView {
    Q_OBJECT
public:
    explicit TGridHeader(QWidget* parent = nullptr);

    // Where the caption of a section is drawn, in the header's coordinates.
    QRect CaptionRect(int logicalIndex) const;
    // Where its sort arrow is drawn; empty when it shows none.
    QRect ArrowRect(int logicalIndex) const;

signals:
    void LeftClicked(int logicalIndex);
    void RightPressed();
    // The user dragged a divider or double-clicked it.
    void UserResized(int logicalIndex);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    QStyleOptionHeaderV2 SectionOption(int logicalIndex, const QRect& rect) const;
    QRect CaptionRectIn(const QStyleOptionHeaderV2& option) const;
    bool leftHeld_ = false;
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
    // The width that shows the caption and the texts of the column whole: the texts of the
    // first items in tree order (the top items, which carry the largest sums, among them),
    // whether their folders are open or not.
    int FittedWidth(int column) const;

    // Rows are selected whole, so showing the row is enough: moving through the rows never
    // scrolls sideways to the focused cell, which would push FileName out of view.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    using QTreeView::edit;

protected:
    // An edited cell is scrolled into view, sideways too.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

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
