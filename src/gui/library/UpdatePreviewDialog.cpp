#include "gui/library/UpdatePreviewDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/config/Config.h"

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
    // A path too long for its column keeps its start and its end; its tooltip has it all.
    list->setTextElideMode(Qt::ElideMiddle);
    return list;
}

// A row whose cells show their whole text as tooltip.
QTreeWidgetItem* Row(const QStringList& texts) {
    auto* row = new QTreeWidgetItem(texts);
    for (int column = 0; column < texts.size(); ++column) {
        row->setToolTip(column, texts[column]);
    }
    return row;
}

// A heading row across all columns, so no column cuts it.
QTreeWidgetItem* HeadingRow(QTreeWidget* list, const QString& text) {
    auto* heading = new QTreeWidgetItem(QStringList{text});
    heading->setFlags(Qt::ItemIsEnabled);
    QFont bold = heading->font(0);
    bold.setBold(true);
    heading->setFont(0, bold);
    list->addTopLevelItem(heading);
    heading->setFirstColumnSpanned(true);
    return heading;
}

// Columns as wide as their texts, the first at most two thirds of the list, so the others
// stay in sight; the last one takes the rest, and a path longer than its column is cut in the
// middle rather than scrolled.
void FitColumns(QTreeWidget* list, int listWidth) {
    QHeaderView* header = list->header();
    for (int column = 0; column + 1 < list->columnCount(); ++column) {
        list->resizeColumnToContents(column);
    }
    if (list->columnCount() > 1 && header->sectionSize(0) > listWidth * 2 / 3) {
        header->resizeSection(0, listWidth * 2 / 3);
    }
}

constexpr const char* kRememberedPreview = "updatePreview";

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
        rows << Row(QStringList{QText(update.Added[i].FullPath)});
    }
    AddCutRow(rows, update.Added.size(), kMostRows);
    lstAdded_->addTopLevelItems(rows);
    rows.clear();
    // The descriptions that would be dropped come first, under their own heading row.
    if (!dropped.empty()) {
        HeadingRow(lstRemoved_, QStringLiteral("descriptions that will be dropped"));
        // Every dropped description is listed: each is text the user typed.
        for (const TCatalogChange* change : dropped) {
            rows << Row(QStringList{QText(change->FullPath), QText(change->Description)});
        }
        lstRemoved_->addTopLevelItems(rows);
        rows.clear();
        HeadingRow(lstRemoved_, QStringLiteral("other removed items"));
    }
    size_t plain = 0;
    for (const TCatalogChange& change : update.Removed) {
        if (change.Description.empty() && plain++ < kMostRows) {
            rows << Row(QStringList{QText(change.FullPath)});
        }
    }
    AddCutRow(rows, plain, kMostRows);
    lstRemoved_->addTopLevelItems(rows);
    rows.clear();
    for (size_t i = 0; i < update.Changed.size() && i < kMostRows; ++i) {
        const TCatalogChange& change = update.Changed[i];
        rows << Row(QStringList{QText(change.FullPath), FieldsText(change)});
    }
    AddCutRow(rows, update.Changed.size(), kMostRows);
    lstChanged_->addTopLevelItems(rows);
    rows.clear();
    // Each is listed: the user decides on Apply knowing every one.
    for (const TScanProblem& folder : update.UnlistedFolders) {
        rows << Row(QStringList{QStringLiteral("folder ") + folder.Path, folder.Error});
    }
    for (const TScanProblem& file : update.UnreadFiles) {
        rows << Row(QStringList{QStringLiteral("file ") + file.Path, file.Error});
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
    setSizeGripEnabled(true);
    // The size the user gave it last time.
    const TXMLRememberedType remembered = GetConfig().ConfigRoot().Remembered(kRememberedPreview);
    resize(std::max(400, remembered.Int("width", 720)),
           std::max(300, remembered.Int("height", 480)));
    for (QTreeWidget* list : {lstAdded_, lstRemoved_, lstChanged_, lstUnreadable_}) {
        FitColumns(list, width() - 40);
    }
}

void TFMUpdatePreview::done(int result) {
    TXMLRememberedType remembered = GetConfig().ConfigRoot().Remembered(kRememberedPreview);
    remembered.SetInt("width", width());
    remembered.SetInt("height", height());
    QDialog::done(result);
}

}  // namespace melodrix
