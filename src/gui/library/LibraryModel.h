#pragma once

#include <QColor>
#include <functional>
#include <unordered_map>

#include "gui/shell/FileIcons.h"
#include "gui/shell/TreeModelBase.h"

namespace melodrix {

// The library tree's model: name, time, size and disk space columns, a group or catalog
// picture in the first column. What may be edited, hints and drops are asked of the owner.
class TLibraryModel final : public TTreeModelBase {
    Q_OBJECT
public:
    explicit TLibraryModel(TCatalogTree& tree, QObject* parent = nullptr);

    // The text of a cell; the disk space (column 3) is read from the catalog file each time.
    static QString CellText(const TCatalogNode& node, int column);
    void SetTitle(int column, const QString& title);

    std::function<bool(TCatalogNode*, int)> MayEdit;
    std::function<QString(TCatalogNode*, int)> Hint;
    std::function<void(TCatalogNode*, int, const QString&)> Commit;
    std::function<bool(TCatalogNode*)> MayDrag;
    std::function<bool(TCatalogNode*)> MayDrop;
    std::function<void(TCatalogNode*)> Drop;
    // A host may paint the first column on a colour of its own (invalid: the view's).
    QColor FirstColumnBackground;

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

protected:
    void TreeAboutToReset() override;
    void NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) override;

private:
    // "12.4 GB free of 64 GB" for a catalog of a disk, read from its file once.
    QString DiskSpace(const TCatalogNode& node) const;

    QString titles_[4];
    mutable std::unordered_map<const TCatalogNode*, QString> diskSpace_;
    TFileIcons icons_;
};

}  // namespace melodrix
