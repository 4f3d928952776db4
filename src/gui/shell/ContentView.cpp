#include "gui/shell/ContentView.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "core/catalog/ValueFunctions.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ViewStyle.h"

namespace melodrix {

TGridHeader::TGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    // Every grid sorts on its own terms: the header reports a left click on a section and
    // shows the arrow; the views' own sorting stays off.
    setSectionsClickable(true);
    connect(this, &QHeaderView::sectionClicked, this, &TGridHeader::LeftClicked);
    // A section resized while the left button is held is one the user drags.
    connect(this, &QHeaderView::sectionResized, this, [this](int logicalIndex) {
        if (leftHeld_) {
            emit UserResized(logicalIndex);
        }
    });
    connect(this, &QHeaderView::sectionHandleDoubleClicked, this, &TGridHeader::UserResized);
}

void TGridHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit RightPressed();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    leftHeld_ = true;
    QHeaderView::mousePressEvent(event);
}

void TGridHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
    leftHeld_ = false;
}

QStyleOptionHeaderV2 TGridHeader::SectionOption(int logicalIndex, const QRect& rect) const {
    QStyleOptionHeaderV2 option;
    initStyleOption(&option);
    initStyleOptionForIndex(&option, logicalIndex);
    option.rect = rect;
    return option;
}

QRect TGridHeader::CaptionRectIn(const QStyleOptionHeaderV2& option) const {
    QRect caption = style()->subElementRect(QStyle::SE_HeaderLabel, &option, this);
    if (option.sortIndicator != QStyleOptionHeader::None) {
        const QRect arrow = style()->subElementRect(QStyle::SE_HeaderArrow, &option, this);
        if (arrow.isValid() && caption.right() >= arrow.left() - 2) {
            caption.setRight(arrow.left() - 3);
        }
    }
    return caption;
}

QRect TGridHeader::CaptionRect(int logicalIndex) const {
    const QRect section(sectionViewportPosition(logicalIndex), 0, sectionSize(logicalIndex),
                        height());
    return CaptionRectIn(SectionOption(logicalIndex, section));
}

QRect TGridHeader::ArrowRect(int logicalIndex) const {
    const QRect section(sectionViewportPosition(logicalIndex), 0, sectionSize(logicalIndex),
                        height());
    const QStyleOptionHeaderV2 option = SectionOption(logicalIndex, section);
    if (option.sortIndicator == QStyleOptionHeader::None) {
        return {};
    }
    return style()->subElementRect(QStyle::SE_HeaderArrow, &option, this);
}

void TGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid()) {
        return;
    }
    const QStyleOptionHeaderV2 option = SectionOption(logicalIndex, rect);
    if (option.sortIndicator == QStyleOptionHeader::None) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    // The style puts the arrow over the end of the caption: a right-aligned caption would
    // lose its last letters under it. Section, caption and arrow are drawn apart instead.
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
    QStyleOptionHeaderV2 caption = option;
    caption.rect = CaptionRectIn(option);
    style()->drawControl(QStyle::CE_HeaderLabel, &caption, painter, this);
    QStyleOptionHeaderV2 arrow = option;
    arrow.rect = style()->subElementRect(QStyle::SE_HeaderArrow, &option, this);
    style()->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &arrow, painter, this);
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

int TContentView::FittedWidth(int column) const {
    // Enough rows to meet the widest texts of a column in practice, few enough to stay quick
    // with a catalog of a million items.
    constexpr int kMostItems = 5000;
    if (!model_ || column < 0 || column >= model_->columnCount()) {
        return 0;
    }
    const int field = model_->FieldOfColumn(column);
    const QFontMetrics cells(font());
    int widest = 0;
    int seen = 0;
    const TCatalogTree& tree = model_->Tree();
    for (const TCatalogNode* node = tree.GetFirst(); node && seen < kMostItems;
         node = tree.GetNext(node), ++seen) {
        widest = std::max(widest, cells.horizontalAdvance(FieldDisplayText(field, &node->Item())));
    }
    // Room beside the text (the style's margins and the grid line).
    const int margin =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
    // The caption with the sort arrow beside it and the header's padding.
    const QFontMetrics captions(header_->font());
    const QString caption = model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int captionWidth = captions.horizontalAdvance(caption) + header_->height() + 16;
    return std::max(widest + margin, captionWidth);
}

void TContentView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int sideways = horizontalScrollBar()->value();
    QTreeView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(sideways);
}

bool TContentView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool editing = QTreeView::edit(index, trigger, event);
    if (editing) {
        QTreeView::scrollTo(index);
    }
    return editing;
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
