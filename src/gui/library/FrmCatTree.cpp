#include "gui/library/FrmCatTree.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/library/Library.h"
#include "gui/library/LibraryModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/Guard.h"
#include "gui/shell/ViewState.h"
#include "gui/shell/ViewStyle.h"

namespace melodrix {

// Tells the frame whether the user typed, when an edit is committed and when it is
// given up.
class TFrmCatTree::TEditDelegate final : public TGridDelegate {
public:
    TEditDelegate(TFrmCatTree& frame, QObject* parent) : TGridDelegate(parent), frame_(frame) {
        connect(this, &QAbstractItemDelegate::closeEditor, this,
                [this](QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
                    if (hint != QAbstractItemDelegate::RevertModelCache || editor != editor_) {
                        return;
                    }
                    TCatalogNode* node = TLibraryModel::NodeOf(index_);
                    const int column = index_.column();
                    editor_ = nullptr;
                    if (node && frame_.EditCancelled) {
                        IgnoreException([&] { frame_.EditCancelled(node, column); });
                    }
                });
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = TGridDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setProperty("typed", false);
            connect(line, &QLineEdit::textEdited, line,
                    [line] { line->setProperty("typed", true); });
        }
        editor_ = editor;
        index_ = index;
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        TCatalogNode* node = TLibraryModel::NodeOf(index);
        if (!node || editor != editor_) {
            return;
        }
        editor_ = nullptr;
        const int column = index.column();
        const auto* line = qobject_cast<QLineEdit*>(editor);
        IgnoreException([&] {
            if (line && line->property("typed").toBool() && frame_.NewText) {
                frame_.NewText(node, column, line->text());
            }
        });
        IgnoreException([&] {
            if (frame_.Edited) {
                frame_.Edited(node, column);
            }
        });
        frame_.view_->viewport()->update();
    }

private:
    TFrmCatTree& frame_;
    mutable QPointer<QWidget> editor_;
    mutable QPersistentModelIndex index_;
};

// Lets the frame refuse a change of the focused node before it happens.
class TFrmCatTree::TGuardedSelection final : public QItemSelectionModel {
public:
    TGuardedSelection(TFrmCatTree& frame, QAbstractItemModel* model)
        : QItemSelectionModel(model, frame.view_), frame_(frame) {}

    void setCurrentIndex(const QModelIndex& index,
                         QItemSelectionModel::SelectionFlags command) override {
        if (index != currentIndex() && frame_.FocusChanging) {
            bool allowed = true;
            IgnoreException([&] {
                allowed = frame_.FocusChanging(TLibraryModel::NodeOf(currentIndex()),
                                               TLibraryModel::NodeOf(index), index.column());
            });
            if (!allowed) {
                // The selection that follows this focus change is refused as well.
                refused_ = true;
                QTimer::singleShot(0, this, [this] { refused_ = false; });
                return;
            }
        }
        QItemSelectionModel::setCurrentIndex(index, command);
    }

    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        if (!refused_) {
            QItemSelectionModel::select(index, command);
        }
    }

    void select(const QItemSelection& selection,
                QItemSelectionModel::SelectionFlags command) override {
        if (!refused_) {
            QItemSelectionModel::select(selection, command);
        }
    }

private:
    TFrmCatTree& frame_;
    bool refused_ = false;
};

TLibraryView::TLibraryView(QWidget* parent) : QTreeView(parent) {}

void TLibraryView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit Click();
    }
}

TFrmCatTree::TFrmCatTree(QWidget* parent)
    : QWidget(parent),
      model_(new TLibraryModel(tree_, this)),
      view_(new TLibraryView(this)),
      header_(new TGridHeader(view_)) {
    setObjectName(QStringLiteral("FrmCatTree"));
    view_->setObjectName(QStringLiteral("VTLib"));
    view_->setHeader(header_);
    view_->setModel(model_);
    StyleTreeGrid(*view_, kLibraryBackground);
    view_->setItemDelegate(new TEditDelegate(*this, view_));
    view_->setSelectionModel(new TGuardedSelection(*this, model_));
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view_->setRootIsDecorated(true);
    view_->setExpandsOnDoubleClick(true);
    view_->setDragDropMode(QAbstractItemView::DragDrop);
    view_->setDragDropOverwriteMode(true);  // a drop lands on the node under the pointer
    view_->setDefaultDropAction(Qt::MoveAction);
    view_->setDropIndicatorShown(true);
    view_->setAutoExpandDelay(700);
    view_->setDragEnabled(true);
    view_->setAcceptDrops(true);
    view_->setColumnWidth(0, 170);
    view_->setColumnWidth(1, 100);
    view_->setColumnWidth(2, 80);
    view_->setColumnWidth(3, 150);  // "12.4 GB free of 64 GB"

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    model_->MayEdit = [this](TCatalogNode* node, int column) {
        return Editing && Editing(node, column);
    };
    model_->Hint = [this](TCatalogNode* node, int column) {
        return GetHint ? GetHint(node, column) : TLibraryModel::CellText(*node, column);
    };
    model_->MayDrag = [this](TCatalogNode* node) { return DragAllowed && DragAllowed(node); };
    model_->MayDrop = [this](TCatalogNode* target) {
        return DragOver && DragOver(FocusedNode(), target);
    };
    model_->Drop = [this](TCatalogNode* target) {
        TCatalogNode* dragged = FocusedNode();
        QTimer::singleShot(0, this, [this, dragged, target] {
            if (EndDrag && ContainsNode(dragged) && ContainsNode(target)) {
                IgnoreException([&] { EndDrag(dragged, target); });
            }
        });
    };

    connect(header_, &TGridHeader::LeftClicked, this,
            [this](int column) { IgnoreException([&] { HeaderClick(column); }); });
    connect(view_, &TLibraryView::Click, this, &TFrmCatTree::Click);
    connect(view_, &QTreeView::doubleClicked, this, &TFrmCatTree::DblClick);
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                TCatalogNode* node = TLibraryModel::NodeOf(current);
                if (current.isValid()) {
                    view_->expand(current.siblingAtColumn(0));  // a focused node opens
                }
                emit FocusChanged(node);
            });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                const QModelIndexList indexes = selected.indexes();
                emit Change(indexes.isEmpty() ? nullptr : TLibraryModel::NodeOf(indexes.first()));
            });
}

TFrmCatTree::~TFrmCatTree() {
    // The view and model go before the tree they look at.
    delete view_;
    delete model_;
}

void TFrmCatTree::LoadLibraryTree(const QString& path, bool groupsOnly) {
    loadedPath_ = path;
    groupsOnly_ = groupsOnly;
    FillLibraryTree(tree_, path, groupsOnly);
    view_->setFocus();
    if (TCatalogNode* root = RootNode()) {
        FocusNode(root);
        view_->expand(model_->IndexOf(root));
    }
}

void TFrmCatTree::ReloadLibraryTree() {
    const TContentViewState place = TContentViewState::Capture(*view_, *model_);
    FillLibraryTree(tree_, loadedPath_, groupsOnly_);
    if (sortColumn_ >= 0) {
        SortLibraryTree(tree_, sortColumn_, ascending_);
    }
    place.Restore(*view_, *model_);
}

TCatalogNode* TFrmCatTree::FocusedNode() const {
    return TLibraryModel::NodeOf(view_->selectionModel()->currentIndex());
}

void TFrmCatTree::FocusNode(TCatalogNode* node, int column) {
    const QModelIndex index = model_->IndexOf(node, column);
    if (!index.isValid()) {
        return;
    }
    view_->setFocus();
    view_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

void TFrmCatTree::EditNode(TCatalogNode* node, int column) {
    QTimer::singleShot(0, this, [this, node, column] {
        if (!ContainsNode(node)) {
            return;  // the tree was reloaded meanwhile
        }
        const QModelIndex index = model_->IndexOf(node, column);
        if (index.isValid()) {
            FocusNode(node, column);
            view_->edit(index);
        }
    });
}

bool TFrmCatTree::ContainsNode(const TCatalogNode* node) const {
    if (!node) {
        return false;
    }
    for (const TCatalogNode* current = tree_.GetFirst(); current;
         current = tree_.GetNext(current)) {
        if (current == node) {
            return true;
        }
    }
    return false;
}

void TFrmCatTree::HeaderClick(int column) {
    SortBy(column, sortColumn_ < 0 ? true : !ascending_);
}

void TFrmCatTree::SortBy(int column, bool ascending) {
    ascending_ = ascending;
    sortColumn_ = column;
    header_->setSortIndicatorShown(true);
    header_->setSortIndicator(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    SortLibraryTree(tree_, column, ascending_);
}

void TFrmCatTree::FitNameColumn(int least) {
    view_->setColumnWidth(0, std::max(least, view_->sizeHintForColumn(0)));
}

}  // namespace melodrix
