#pragma once

#include <QDialog>

#include "core/scan/UpdateCatalog.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace melodrix {

// Shows what an update of a catalog would change, before anything is written: the counts,
// and the added, removed (the descriptions that would be dropped first) and changed items
// on three tabs; the folders and files that could not be read, whose items Apply keeps as
// they are, on a fourth one shown first. Accepted by "Apply", rejected by "Cancel". Long
// paths are cut in the middle, with the whole path as tooltip; the dialog can be resized and
// opens at the size it last had.
class TFMUpdatePreview final : public QDialog {
    Q_OBJECT
public:
    TFMUpdatePreview(const TCatalogUpdate& update, const QString& catalogName,
                     QWidget* parent = nullptr);

    QLabel* LblCounts() const { return lblCounts_; }
    QTabWidget* Tabs() const { return tabs_; }
    QTreeWidget* LstAdded() const { return lstAdded_; }
    QTreeWidget* LstRemoved() const { return lstRemoved_; }
    QTreeWidget* LstChanged() const { return lstChanged_; }
    QTreeWidget* LstUnreadable() const { return lstUnreadable_; }
    QPushButton* BtnApply() const { return btnApply_; }
    QPushButton* BtnCancel() const { return btnCancel_; }

    // Keeps the size the user gave the dialog for the next preview.
    void done(int result) override;

private:
    QLabel* lblCounts_;
    QTabWidget* tabs_;
    QTreeWidget* lstAdded_;
    QTreeWidget* lstRemoved_;
    QTreeWidget* lstChanged_;
    QTreeWidget* lstUnreadable_;
    QPushButton* btnApply_;
    QPushButton* btnCancel_;
};

}  // namespace melodrix
