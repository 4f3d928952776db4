#pragma once

#include <QColor>
#include <QStyledItemDelegate>

class QAbstractItemView;
class QHeaderView;

namespace melodrix {

// The colours of the main window and its views.
inline const QColor kReadOnlyCellColour(239, 243, 255);
inline const QColor kContentBackground(239, 243, 255);
inline const QColor kLibraryBackground(239, 244, 255);
inline const QColor kHeaderColour(123, 170, 255);
inline const QColor kCaptionStripColour(169, 174, 207);
inline const QColor kPanelColour(254, 243, 255);
inline const QColor kGridLineColour(200, 208, 228);

// Draws the horizontal and vertical grid lines that tree views lack.
class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // A little air above and below the text, so underscores are not cut off by the grid.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The tooltip background, which marks editable cells.
QColor EditableCellColour();

// Gives a tree-grid the look the program's views share: background, header colour,
// grid lines, hot tracking and a selection that keeps its colour without focus.
void StyleTreeGrid(QAbstractItemView& view, const QColor& background);

}  // namespace melodrix
