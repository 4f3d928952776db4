#include "gui/shell/DetailPanel.h"

#include <QBrush>
#include <QHeaderView>

#include "core/catalog/ValueFunctions.h"
#include "gui/shell/ViewStyle.h"

namespace melodrix {

namespace {
const QString kEditableKeys = QStringLiteral("FileName;Description");
}

TDetailModel::TDetailModel(QObject* parent) : QAbstractTableModel(parent) {}

void TDetailModel::ShowDetail(const TFileItem* item, const QStringList& names) {
    beginResetModel();
    entries_.clear();
    if (item) {
        try {
            for (const QString& name : names) {
                const QByteArray utf8 = name.toUtf8();
                const int field = FieldIndexOf(
                    std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
                entries_.push_back({name, FieldDisplayText(field, item)});
            }
        } catch (...) {
            // The rows made so far stay.
        }
    }
    endResetModel();
}

bool TDetailModel::EditableKey(const QString& key) const {
    return DetailEditable && DetailEditable() && kEditableKeys.contains(key);
}

bool TDetailModel::IsEditableCell(const QModelIndex& index) const {
    return index.isValid() && index.column() == 1 && index.row() < rowCount() &&
           EditableKey(entries_[static_cast<size_t>(index.row())].Key);
}

int TDetailModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TDetailModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TDetailModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const DetailEntry& entry = entries_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return index.column() == 0 ? entry.Key : entry.Value;
        case Qt::ToolTipRole:
            if (index.column() == 0) {
                return entry.Key;
            }
            if (EditableKey(entry.Key)) {
                return entry.Value +
                       QStringLiteral(" (Press F2 on the keyboard to edit %1)").arg(entry.Key);
            }
            return entry.Value;
        case Qt::BackgroundRole:
            return IsEditableCell(index) ? QVariant(QBrush(EditableCellColour())) : QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(index.column() == 0 ? (Qt::AlignLeft | Qt::AlignVCenter)
                                                           : (Qt::AlignRight | Qt::AlignVCenter));
        default:
            return {};
    }
}

bool TDetailModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !IsEditableCell(index)) {
        return false;
    }
    const QString text = value.toString();
    const QString key = entries_[static_cast<size_t>(index.row())].Key;
    if (NewText) {
        NewText(key, text);  // the host guards it: nothing escapes into the view
    }
    // The row shows what was typed, also when the save that followed failed.
    if (index.row() < rowCount()) {
        entries_[static_cast<size_t>(index.row())].Value = text;
        emit dataChanged(index, index);
    }
    return true;
}

Qt::ItemFlags TDetailModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (IsEditableCell(index)) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

QVariant TDetailModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == 0 ? QStringLiteral("Key") : QStringLiteral("Value");
}

TDetailPanel::TDetailPanel(QWidget* parent) : QTreeView(parent), model_(new TDetailModel(this)) {
    setObjectName(QStringLiteral("VLE"));
    setModel(model_);
    StyleTreeGrid(*this, kContentBackground);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    header()->setSectionsMovable(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setColumnWidth(0, 139);
    setColumnWidth(1, 139);
}

}  // namespace melodrix
