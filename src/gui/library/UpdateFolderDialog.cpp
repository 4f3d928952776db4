#include "gui/library/UpdateFolderDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/catalog/Sinks.h"
#include "core/library/LibraryOperations.h"
#include "gui/shell/Guard.h"

namespace melodrix {

TFMUpdateFolder::TFMUpdateFolder(IPromptSink& prompt, const QString& catalogName,
                                 const QString& storedFolder, QWidget* parent)
    : QDialog(parent),
      prompt_(prompt),
      edFolder_(new QLineEdit(QDir::toNativeSeparators(storedFolder))),
      btnBrowse_(new QPushButton(QStringLiteral("&Browse..."))),
      btnOk_(new QPushButton(QStringLiteral("&OK"))),
      btnCancel_(new QPushButton(QStringLiteral("&Cancel"))) {
    setObjectName(QStringLiteral("FMUpdateFolder"));
    setWindowTitle(QStringLiteral("Update ") + catalogName);
    edFolder_->setObjectName(QStringLiteral("EdFolder"));
    btnBrowse_->setObjectName(QStringLiteral("BtnBrowse"));
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnOk_->setDefault(true);
    ChooseFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Folder to scan"), start);
    };

    auto* label = new QLabel(QStringLiteral("&Folder to scan:"));
    label->setBuddy(edFolder_);
    auto* note = new QLabel(
        QStringLiteral("The folder the catalog was made of is filled in; give another when the "
                       "disk is mounted elsewhere today."));
    note->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(edFolder_, 1);
    row->addWidget(btnBrowse_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(row);
    layout->addWidget(note);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(btnBrowse_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BtnBrowseClick(); }); });
    connect(btnOk_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BtnOkClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    // Wide enough for a long path.
    const int wide = QFontMetrics(edFolder_->font()).horizontalAdvance(edFolder_->text()) + 160;
    resize(std::clamp(wide, 520, 900), sizeHint().height());
}

QString TFMUpdateFolder::Folder() const {
    return QDir::fromNativeSeparators(edFolder_->text().trimmed());
}

void TFMUpdateFolder::BtnBrowseClick() {
    const QString start = EntryExists(Folder(), true) ? Folder() : QDir::homePath();
    const QString chosen = ChooseFolder ? ChooseFolder(start) : QString();
    if (!chosen.isEmpty()) {
        edFolder_->setText(QDir::toNativeSeparators(chosen));
    }
}

void TFMUpdateFolder::BtnOkClick() {
    const QString folder = Folder();
    if (folder.isEmpty()) {
        prompt_.ShowMessage(kWarningTitle,
                            QStringLiteral("Please type or choose the folder to scan."),
                            TMessageIcon::Warning);
        return;
    }
    if (!EntryExists(folder, true)) {
        prompt_.ShowMessage(kWarningTitle,
                            QStringLiteral("%1 is not a folder (is the disk mounted?).")
                                .arg(QDir::toNativeSeparators(folder)),
                            TMessageIcon::Warning);
        edFolder_->setFocus();
        return;
    }
    accept();
}

}  // namespace melodrix
