#include "gui/library/NewCatDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/catalog/Paths.h"
#include "core/catalog/Sinks.h"
#include "core/config/Config.h"
#include "core/library/LibraryOperations.h"
#include "gui/shell/Guard.h"

namespace melodrix {

namespace {

const QString kSelectFolderFirst = QStringLiteral("Please select the dialog to catalog first.");
const QString kInputCatalogName = QStringLiteral("Please input the catalog name.");
const QString kNamePrompt = QStringLiteral("Input catalog name here.");

}  // namespace

QString BrowseForFolderWithPlatformDialog(QWidget* owner, const QString& current) {
    return QFileDialog::getExistingDirectory(owner, QString(), current, QFileDialog::ShowDirsOnly);
}

TFMNewCat::TFMNewCat(IPromptSink& prompt, QWidget* parent)
    : TCommandDialog(parent),
      BrowseForFolder(&BrowseForFolderWithPlatformDialog),
      prompt_(prompt),
      edFileName_(new QLineEdit),
      edName_(new QLineEdit(kNamePrompt)),
      btnOpenDialog_(new QPushButton(QStringLiteral("Open &Dialog"))),
      btnOk_(new QPushButton(QStringLiteral("&OK"))),
      btnCancel_(new QPushButton(QStringLiteral("&Cancel"))) {
    setObjectName(QStringLiteral("FMNewCat"));
    setWindowTitle(QStringLiteral("Create a new Catalog"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The folder line, the name line and the buttons.
    setFixedSize(466, 120);

    edFileName_->setObjectName(QStringLiteral("EdFileName"));
    edFileName_->setToolTip(QStringLiteral("Catalog Dialog"));
    // It shows the chosen folder; the folder itself comes from the browser only.
    edFileName_->setReadOnly(true);
    btnOpenDialog_->setObjectName(QStringLiteral("SpeedButton1"));
    btnOpenDialog_->setMinimumWidth(110);
    edName_->setObjectName(QStringLiteral("EdName"));
    edName_->setToolTip(kNamePrompt);
    auto* label4 = new QLabel(QStringLiteral("(Catalog Name)"));
    label4->setObjectName(QStringLiteral("Label4"));
    label4->setMinimumWidth(110);
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnCancel_->setObjectName(QStringLiteral("SpeedButton3"));
    btnOk_->setDefault(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(edFileName_, 1);
    folderRow->addWidget(btnOpenDialog_);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(edName_, 1);
    nameRow->addWidget(label4);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(btnOk_);
    buttonRow->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->addLayout(folderRow);
    layout->addLayout(nameRow);
    layout->addStretch(1);
    layout->addLayout(buttonRow);

    connect(btnOpenDialog_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { SpeedButton1Click(); }); });
    connect(btnOk_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BtnOkClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TFMNewCat::PrepareDialog() {
    // Nothing can be catalogued before a folder was asked for.
    btnOk_->setEnabled(false);
}

void TFMNewCat::SpeedButton1Click() {
    if (!QFileInfo(FolderPath).isDir()) {
        FolderPath.clear();
    }
    if (BrowseForFolder) {
        const QString chosen = BrowseForFolder(this, FolderPath);
        if (!chosen.isEmpty()) {
            FolderPath = QDir::toNativeSeparators(chosen);
        }
    }
    edFileName_->setText(FolderPath);
    edName_->setText(FolderPath.isEmpty() ? QString() : DiskNameOf(FolderPath));
    btnOk_->setEnabled(true);
}

void TFMNewCat::Warn(const QString& text) {
    prompt_.ShowMessage(kWarningTitle, text, TMessageIcon::Warning);
}

void TFMNewCat::BtnOkClick() {
    if (edFileName_->text().isEmpty()) {
        Warn(kSelectFolderFirst);
        edName_->setFocus();
        return;
    }
    const QString name = edName_->text();
    if (name.isEmpty()) {
        Warn(kInputCatalogName);
        edName_->setFocus();
        return;
    }
    // The name becomes a file name inside the library and must stay one.
    const QString refusal = ValidateEntryName(name);
    if (!refusal.isEmpty()) {
        Warn(refusal);
        edName_->setFocus();
        return;
    }
    const QString file =
        WithTrailingBackslash(GetConfig().LibraryPath()) + name + kCatalogExtension;
    if (QFileInfo::exists(file) &&
        !prompt_.AskYesNo(kWarningTitle, kOverwriteQuestion, TMessageIcon::Warning)) {
        return;
    }
    CatalogFile = file;
    OnlyFolders = false;
    accept();
}

}  // namespace melodrix
