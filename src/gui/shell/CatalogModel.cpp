#include "gui/shell/CatalogModel.h"

#include "core/catalog/ValueFunctions.h"
#include "gui/shell/ViewStyle.h"

namespace melodrix {

Qt::Alignment AlignmentOf(const QString& align) {
    if (align == QStringLiteral("right")) {
        return Qt::AlignRight | Qt::AlignVCenter;
    }
    if (align == QStringLiteral("center")) {
        return Qt::AlignHCenter | Qt::AlignVCenter;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

TCatalogModel::TCatalogModel(TCatalogTree& tree, QObject* parent) : TTreeModelBase(tree, parent) {}

void TCatalogModel::SetColumns(std::vector<TColumnSpec> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    backgrounds_.clear();
    alignments_.clear();
    const QBrush readOnly(kReadOnlyCellColour);
    const QBrush editable(EditableCellColour());
    for (const TColumnSpec& column : columns_) {
        backgrounds_.push_back(column.ReadOnly ? readOnly : editable);
        alignments_.push_back(AlignmentOf(column.Align));
    }
    endResetModel();
}

int TCatalogModel::FieldOfColumn(int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return FileName;
    }
    return columns_[static_cast<size_t>(column)].Field;
}

int TCatalogModel::columnCount(const QModelIndex&) const {
    return static_cast<int>(columns_.size());
}

QString TCatalogModel::HintText(int field, const TFileItem& item) {
    QString text = FieldDisplayText(field, &item);
    if (field == FileName || field == Description) {
        text += QStringLiteral(" (Press F2 on the keyboard to edit %1)")
                    .arg(QLatin1String(FieldNames[static_cast<size_t>(field)]));
    }
    return text;
}

QVariant TCatalogModel::Decoration(const TCatalogNode& node) const {
    const TFileItem& item = node.Item();
    if (item.IsDirectory()) {
        return node.Expanded() ? icons_.OpenFolder() : icons_.Folder();
    }
    const std::string_view path = item.Field(FullPath);
    return icons_.ForFileName(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
}

void TCatalogModel::SetDescriptionOverlay(std::unordered_map<const TCatalogNode*, int> numbers) {
    descriptionOverlay_ = std::move(numbers);
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void TCatalogModel::TreeAboutToReset() {
    descriptionOverlay_.clear();
    TTreeModelBase::TreeAboutToReset();
}

void TCatalogModel::NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) {
    if (!descriptionOverlay_.empty()) {
        for (int row = first; row <= last; ++row) {
            const TCatalogNode* node = parent ? parent->Child(row) : Tree().TopLevel(row);
            descriptionOverlay_.erase(node);
        }
    }
    TTreeModelBase::NodesAboutToBeRemoved(parent, first, last);
}

QVariant TCatalogModel::data(const QModelIndex& index, int role) const {
    const TCatalogNode* node = NodeOf(index);
    if (!node || index.column() >= columnCount()) {
        return {};
    }
    const auto column = static_cast<size_t>(index.column());
    const int field = columns_[column].Field;
    try {
        switch (role) {
            case Qt::DisplayRole:
                if (field == Description && !descriptionOverlay_.empty()) {
                    const auto number = descriptionOverlay_.find(node);
                    if (number != descriptionOverlay_.end()) {
                        return QString::number(number->second);
                    }
                }
                return FieldDisplayText(field, &node->Item());
            case Qt::EditRole: {
                const std::string_view text = node->Item().Field(field);
                return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
            }
            case Qt::DecorationRole:
                return field == FileName ? Decoration(*node) : QVariant();
            case Qt::ToolTipRole:
                return HintText(field, node->Item());
            case Qt::BackgroundRole:
                return backgrounds_[column];
            case Qt::TextAlignmentRole:
                return QVariant::fromValue(alignments_[column]);
            default:
                return {};
        }
    } catch (...) {
        // A cell that cannot be shown stays empty; painting goes on.
        return {};
    }
}

bool TCatalogModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    TCatalogNode* node = NodeOf(index);
    if (!node || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    if (NewText) {
        NewText(node, FieldOfColumn(index.column()), value.toString());
    }
    return true;
}

Qt::ItemFlags TCatalogModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.column() >= columnCount()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!columns_[static_cast<size_t>(index.column())].ReadOnly) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

QVariant TCatalogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    const TColumnSpec& column = columns_[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) {
        return column.Name;
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(alignments_[static_cast<size_t>(section)]);
    }
    return {};
}

}  // namespace melodrix
