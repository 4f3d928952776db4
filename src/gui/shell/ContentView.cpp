#include "gui/shell/ContentView.h"

#include <QMouseEvent>

#include "gui/shell/CatalogModel.h"
#include "gui/shell/ViewStyle.h"

namespace melodrix {

TGridHeader::TGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    // Every grid sorts on its own terms: the header reports a left click on a section and
    // shows the arrow; the views' own sorting stays off.
    setSectionsClickable(true);
    connect(this, &QHeaderView::sectionClicked, this, &TGridHeader::LeftClicked);
}

void TGridHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit RightPressed();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void TGridHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
}

void TGridHeader::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QHeaderView::mouseDoubleClickEvent(event);
}

TContentView::TContentView(QWidget* parent) : QTreeView(parent), header_(new TGridHeader(this)) {
    setObjectName(QStringLiteral("VT"));
    setHeader(header_);
    StyleTreeGrid(*this, kContentBackground);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setExpandsOnDoubleClick(true);
    setRootIsDecorated(true);
    // Sorting is the model's own (folders first, by the sort field); the header only
    // reports the click and shows the arrow. QTreeView's own sorting stays off, and
    // switching it off makes sections unclickable, so that comes first.
    setSortingEnabled(false);
    header_->setSortIndicatorShown(false);
    header_->setSectionsClickable(true);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (model_) {
            model_->Tree().SetExpanded(TCatalogModel::NodeOf(index), true);
        }
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (model_) {
            model_->Tree().SetExpanded(TCatalogModel::NodeOf(index), false);
        }
    });
}

void TContentView::SetCatalogModel(TCatalogModel* model) {
    model_ = model;
    setModel(model);
    connect(model, &TTreeModelBase::ExpansionChanged, this,
            [this](const QModelIndex& index, bool expanded) {
                if (isExpanded(index) != expanded) {
                    setExpanded(index, expanded);
                }
            });
}

void TContentView::ApplyHeaderClick(int column) {
    if (sortColumn_ < 0) {
        ascending_ = true;
    } else {
        ascending_ = !ascending_;
    }
    sortColumn_ = column;
    header_->setSortIndicatorShown(true);
    header_->setSortIndicator(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void ApplyColumns(QTreeView& view, TCatalogModel& model, const std::vector<TColumnSpec>& columns) {
    model.SetColumns(columns);
    QHeaderView* header = view.header();
    for (size_t i = 0; i < columns.size(); ++i) {
        header->resizeSection(static_cast<int>(i), columns[i].Width);
    }
    // Move columns into place from the left, so earlier moves stay put.
    for (int position = 0; position < static_cast<int>(columns.size()); ++position) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].DisplayPosition == position) {
                header->moveSection(header->visualIndex(static_cast<int>(i)), position);
                break;
            }
        }
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        header->setSectionHidden(static_cast<int>(i), !columns[i].Visible);
    }
}

}  // namespace melodrix
