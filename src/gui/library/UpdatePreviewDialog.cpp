#include "gui/library/UpdatePreviewDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace melodrix {

namespace {

QString QText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QTreeWidget* MakeList(const QString& name, const QStringList& headers) {
    auto* list = new QTreeWidget;
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setHeaderLabels(headers);
    list->header()->setStretchLastSection(true);
    return list;
}

// A list shows at most this many rows; the counts above it stay exact.
constexpr size_t kMostRows = 50000;

// Ends a list that was cut at kMostRows with a row telling how many were left out.
void AddCutRow(QList<QTreeWidgetItem*>& rows, size_t total, size_t shown) {
    if (total > shown) {
        auto* more =
            new QTreeWidgetItem(QStringList{QStringLiteral("... and %1 more").arg(total - shown)});
        more->setFlags(Qt::ItemIsEnabled);
        rows << more;
    }
}

QString FieldsText(const TCatalogChange& change) {
    QStringList parts;
    for (const TFieldChange& field : change.Fields) {
        parts << QStringLiteral("%1: %2 -> %3")
                     .arg(QText(FieldNames[static_cast<size_t>(field.Field)]), QText(field.Before),
                          QText(field.After));
    }
    return parts.join(QStringLiteral("; "));
}

}  // namespace

TFMUpdatePreview::TFMUpdatePreview(const TCatalogUpdate& update, const QString& catalogName,
                                   QWidget* parent)
    : QDialog(parent),
      lblCounts_(new QLabel),
      tabs_(new QTabWidget),
      lstAdded_(MakeList(QStringLiteral("LstAdded"), {QStringLiteral("FullPath")})),
      lstRemoved_(MakeList(QStringLiteral("LstRemoved"),
                           {QStringLiteral("FullPath"), QStringLiteral("Description")})),
      lstChanged_(MakeList(QStringLiteral("LstChanged"),
                           {QStringLiteral("FullPath"), QStringLiteral("Changes")})),
      lstUnreadable_(MakeList(QStringLiteral("LstUnreadable"),
                              {QStringLiteral("Could not be read"), QStringLiteral("Why")})),
      btnApply_(new QPushButton(QStringLiteral("Apply"))),
      btnCancel_(new QPushButton(QStringLiteral("Cancel"))) {
    setObjectName(QStringLiteral("FMUpdatePreview"));
    setWindowTitle(QStringLiteral("Update ") + catalogName);
    lblCounts_->setObjectName(QStringLiteral("LblCounts"));
    tabs_->setObjectName(QStringLiteral("Tabs"));
    btnApply_->setObjectName(QStringLiteral("BtnApply"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));

    const auto dropped = update.DroppedDescriptions();
    const size_t unreadable = update.UnlistedFolders.size() + update.UnreadFiles.size();
    QString counts =
        QStringLiteral(
            "Folder: %1\nAdded: %2    Removed: %3    Changed: %4\n"
            "Descriptions that will be dropped: %5")
            .arg(update.Folder, QString::number(update.Added.size()),
                 QString::number(update.Removed.size()), QString::number(update.Changed.size()),
                 QString::number(dropped.size()));
    if (unreadable > 0) {
        counts += QStringLiteral("\nCould not be read, kept as they are: folders %1, files %2")
                      .arg(update.UnlistedFolders.size())
                      .arg(update.UnreadFiles.size());
    }
    lblCounts_->setText(counts);

    // Thousands of rows are filled at once, not item by item.
    QList<QTreeWidgetItem*> rows;
    for (size_t i = 0; i < update.Added.size() && i < kMostRows; ++i) {
        rows << new QTreeWidgetItem(QStringList{QText(update.Added[i].FullPath)});
    }
    AddCutRow(rows, update.Added.size(), kMostRows);
    lstAdded_->addTopLevelItems(rows);
    rows.clear();
    // The descriptions that would be dropped come first, under their own heading row.
    if (!dropped.empty()) {
        auto* heading =
            new QTreeWidgetItem(QStringList{QStringLiteral("descriptions that will be dropped")});
        heading->setFlags(Qt::ItemIsEnabled);
        QFont bold = heading->font(0);
        bold.setBold(true);
        heading->setFont(0, bold);
        rows << heading;
        // Every dropped description is listed: each is text the user typed.
        for (const TCatalogChange* change : dropped) {
            rows << new QTreeWidgetItem(
                QStringList{QText(change->FullPath), QText(change->Description)});
        }
        auto* rest = new QTreeWidgetItem(QStringList{QStringLiteral("other removed items")});
        rest->setFlags(Qt::ItemIsEnabled);
        rest->setFont(0, bold);
        rows << rest;
    }
    size_t plain = 0;
    for (const TCatalogChange& change : update.Removed) {
        if (change.Description.empty() && plain++ < kMostRows) {
            rows << new QTreeWidgetItem(QStringList{QText(change.FullPath)});
        }
    }
    AddCutRow(rows, plain, kMostRows);
    lstRemoved_->addTopLevelItems(rows);
    rows.clear();
    for (size_t i = 0; i < update.Changed.size() && i < kMostRows; ++i) {
        const TCatalogChange& change = update.Changed[i];
        rows << new QTreeWidgetItem(QStringList{QText(change.FullPath), FieldsText(change)});
    }
    AddCutRow(rows, update.Changed.size(), kMostRows);
    lstChanged_->addTopLevelItems(rows);
    rows.clear();
    // Each is listed: the user decides on Apply knowing every one.
    for (const TScanProblem& folder : update.UnlistedFolders) {
        rows << new QTreeWidgetItem(
            QStringList{QStringLiteral("folder ") + folder.Path, folder.Error});
    }
    for (const TScanProblem& file : update.UnreadFiles) {
        rows << new QTreeWidgetItem(QStringList{QStringLiteral("file ") + file.Path, file.Error});
    }
    lstUnreadable_->addTopLevelItems(rows);

    tabs_->addTab(lstAdded_, QStringLiteral("Added (%1)").arg(update.Added.size()));
    tabs_->addTab(lstRemoved_, QStringLiteral("Removed (%1)").arg(update.Removed.size()));
    tabs_->addTab(lstChanged_, QStringLiteral("Changed (%1)").arg(update.Changed.size()));
    if (unreadable > 0) {
        tabs_->insertTab(0, lstUnreadable_,
                         QStringLiteral("Could not be read (%1)").arg(unreadable));
        tabs_->setCurrentIndex(0);
    } else {
        lstUnreadable_->setParent(this);
        lstUnreadable_->hide();
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnApply_);
    buttons->addWidget(btnCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCounts_);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    btnApply_->setDefault(true);
    connect(btnApply_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    resize(720, 480);
}

}  // namespace melodrix
