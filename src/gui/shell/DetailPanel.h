#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <functional>
#include <vector>

#include "core/catalog/FileItem.h"

namespace melodrix {

// One row of the detail panel: a field name from the column model and its shown text.
struct DetailEntry {
    QString Key;
    QString Value;
};

// The rows of the detail panel. FileName and Description values are editable while the
// host says the rows belong to an item of the content view.
class TDetailModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDetailModel(QObject* parent = nullptr);

    // Refills the rows from the item's fields in column-model order; empty for nothing.
    void ShowDetail(const TFileItem* item, const QStringList& names);
    const std::vector<DetailEntry>& Entries() const { return entries_; }
    bool IsEditableCell(const QModelIndex& index) const;

    std::function<bool()> DetailEditable;
    // An accepted edit of a value: the row's key and the typed text.
    std::function<void(const QString&, const QString&)> NewText;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    bool EditableKey(const QString& key) const;

    std::vector<DetailEntry> entries_;
};

// The detail panel `VLE`.
class TDetailPanel final : public QTreeView {
    Q_OBJECT
public:
    explicit TDetailPanel(QWidget* parent = nullptr);
    TDetailModel& Model() const { return *model_; }

private:
    TDetailModel* model_;  // owned as a child
};

}  // namespace melodrix
