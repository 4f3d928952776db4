#include "gui/shell/ViewStyle.h"

#include <QHeaderView>
#include <QPainter>
#include <QToolTip>
#include <QTreeView>

namespace melodrix {

void TGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(kGridLineColour);
    const QRect r = option.rect;
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->restore();
}

QSize TGridDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width(), size.height() + 3};
}

QColor EditableCellColour() {
    return QToolTip::palette().color(QPalette::ToolTipBase);
}

void StyleTreeGrid(QAbstractItemView& view, const QColor& background) {
    QPalette palette = view.palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::AlternateBase, background);
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    view.setPalette(palette);
    view.setItemDelegate(new TGridDelegate(&view));
    view.setMouseTracking(true);
    view.setAttribute(Qt::WA_Hover);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    if (auto* tree = qobject_cast<QTreeView*>(&view)) {
        tree->setUniformRowHeights(true);
        tree->setAllColumnsShowFocus(false);
        QHeaderView* header = tree->header();
        header->setSectionsMovable(true);
        header->setSectionsClickable(true);
        header->setHighlightSections(false);
        header->setStretchLastSection(false);
        header->setStyleSheet(
            QStringLiteral("QHeaderView::section { background-color: rgb(%1, %2, %3);"
                           " border: none; border-right: 1px solid rgb(90, 130, 220);"
                           " border-bottom: 1px solid rgb(90, 130, 220); padding: 2px 4px; }")
                .arg(kHeaderColour.red())
                .arg(kHeaderColour.green())
                .arg(kHeaderColour.blue()));
    }
}

}  // namespace melodrix
