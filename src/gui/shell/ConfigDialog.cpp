#include "gui/shell/ConfigDialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/config/Config.h"
#include "gui/shell/Guard.h"

namespace melodrix {

TFMConfig::TFMConfig(QWidget* parent)
    : TCommandDialog(parent),
      checkList_(new QListWidget),
      btnOk_(new QPushButton(QStringLiteral("&OK"))),
      btnCancel_(new QPushButton(QStringLiteral("&Cancel"))) {
    setObjectName(QStringLiteral("FMConfig"));
    setWindowTitle(QStringLiteral("Config visible columns"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(217, 280);

    auto* frame = new QFrame;
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(2, 2, 2, 2);
    checkList_->setObjectName(QStringLiteral("CheckList"));
    checkList_->setFrameStyle(QFrame::NoFrame);
    checkList_->setUniformItemSizes(true);
    checkList_->setStyleSheet(QStringLiteral("QListWidget::item { height: 18px; }"));
    frameLayout->addWidget(checkList_);

    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnOk_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(new QLabel(QStringLiteral("Config visible columns:")));
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);

    connect(btnOk_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BtnOkClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TFMConfig::PrepareDialog() {
    FillList();
}

void TFMConfig::FillList() {
    checkList_->clear();
    const TXMLNodesType nodes = GetConfig().ConfigRoot().Nodes();
    for (int i = 0; i < nodes.Count(); ++i) {
        auto* entry = new QListWidgetItem(nodes.Node(i).Name(), checkList_);
        entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        entry->setCheckState(nodes.Node(i).Visible() ? Qt::Checked : Qt::Unchecked);
    }
}

void TFMConfig::BtnOkClick() {
    TConfig& config = GetConfig();
    const TXMLNodesType nodes = config.ConfigRoot().Nodes();
    for (int i = 0; i < nodes.Count() && i < checkList_->count(); ++i) {
        nodes.Node(i).SetVisible(checkList_->item(i)->checkState() == Qt::Checked);
    }
    config.SaveConfig();
    accept();
}

}  // namespace melodrix
