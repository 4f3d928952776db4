#include "gui/library/LibraryModel.h"

#include <QMimeData>

#include "core/catalog/ValueFunctions.h"
#include "core/library/Library.h"

namespace melodrix {

namespace {
const QString kNodeMimeType = QStringLiteral("application/x-melodrix-library-node");

QString TextOf(const TFileItem& item, int field) {
    const std::string_view text = item.Field(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

TLibraryModel::TLibraryModel(TCatalogTree& tree, QObject* parent)
    : TTreeModelBase(tree, parent),
      titles_{QStringLiteral("CatalogName"), QStringLiteral("Create Time"), QStringLiteral("Size"),
              QStringLiteral("Disk space")} {}

QString TLibraryModel::DiskSpace(const TCatalogNode& node) const {
    if (!node.Item().IsFile()) {
        return {};
    }
    const auto known = diskSpace_.find(&node);
    if (known != diskSpace_.end()) {
        return known->second;
    }
    return diskSpace_.emplace(&node, CellText(node, 3)).first->second;
}

void TLibraryModel::TreeAboutToReset() {
    diskSpace_.clear();
    TTreeModelBase::TreeAboutToReset();
}

void TLibraryModel::NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) {
    diskSpace_.clear();
    TTreeModelBase::NodesAboutToBeRemoved(parent, first, last);
}

QString TLibraryModel::CellText(const TCatalogNode& node, int column) {
    const TFileItem& item = node.Item();
    switch (column) {
        case 0:
            return TextOf(item, FileName);
        case 1:
            return TextOf(item, FileTime);
        case 2:
            if (item.IsFile()) {
                return KilobyteText(NumberOfText(item.Field(FileSize)).value_or(0.0));
            }
            return {};
        case 3:
            if (item.IsFile()) {
                const std::optional<TDiskFacts> facts = CatalogDiskFacts(TextOf(item, FullPath));
                return facts ? DiskSpaceText(*facts) : QString();
            }
            return {};
        default:
            return {};
    }
}

void TLibraryModel::SetTitle(int column, const QString& title) {
    if (column >= 0 && column < 4) {
        titles_[column] = title;
        emit headerDataChanged(Qt::Horizontal, column, column);
    }
}

int TLibraryModel::columnCount(const QModelIndex&) const {
    return 4;
}

QVariant TLibraryModel::data(const QModelIndex& index, int role) const {
    TCatalogNode* node = NodeOf(index);
    if (!node) {
        return {};
    }
    try {
        switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
                return index.column() == 3 ? DiskSpace(*node) : CellText(*node, index.column());
            case Qt::ToolTipRole:
                return Hint ? Hint(node, index.column()) : CellText(*node, index.column());
            case Qt::DecorationRole:
                if (index.column() == 0) {
                    return node->Item().IsFile() ? icons_.Catalog() : icons_.Group();
                }
                return {};
            case Qt::BackgroundRole:
                if (index.column() == 0 && FirstColumnBackground.isValid()) {
                    return FirstColumnBackground;
                }
                return {};
            case Qt::TextAlignmentRole:
                return QVariant::fromValue(index.column() == 0
                                               ? (Qt::AlignLeft | Qt::AlignVCenter)
                                               : (Qt::AlignRight | Qt::AlignVCenter));
            default:
                return {};
        }
    } catch (...) {
        return {};
    }
}

bool TLibraryModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    TCatalogNode* node = NodeOf(index);
    if (!node || role != Qt::EditRole) {
        return false;
    }
    if (Commit) {
        Commit(node, index.column(), value.toString());
    }
    return true;
}

Qt::ItemFlags TLibraryModel::flags(const QModelIndex& index) const {
    TCatalogNode* node = NodeOf(index);
    if (!node) {
        return Qt::ItemIsDropEnabled;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    if (MayEdit && MayEdit(node, index.column())) {
        result |= Qt::ItemIsEditable;
    }
    if (MayDrag && MayDrag(node)) {
        result |= Qt::ItemIsDragEnabled;
    }
    return result;
}

QVariant TLibraryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= 4) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return titles_[section];
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(section == 0 ? (Qt::AlignLeft | Qt::AlignVCenter)
                                                : (Qt::AlignRight | Qt::AlignVCenter));
    }
    return {};
}

QStringList TLibraryModel::mimeTypes() const {
    return {kNodeMimeType};
}

QMimeData* TLibraryModel::mimeData(const QModelIndexList&) const {
    // The dragged item is always the focused node; the owner knows it.
    auto* data = new QMimeData;
    data->setData(kNodeMimeType, QByteArray());
    return data;
}

bool TLibraryModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                    const QModelIndex& parent) const {
    TCatalogNode* target = NodeOf(parent);
    return data && data->hasFormat(kNodeMimeType) && target && MayDrop && MayDrop(target);
}

bool TLibraryModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                 const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) {
        return false;
    }
    if (Drop) {
        Drop(NodeOf(parent));
    }
    // The owner reloads the tree instead; the view must not remove the dragged row.
    return false;
}

}  // namespace melodrix
