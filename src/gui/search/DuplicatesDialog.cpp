#include "gui/search/DuplicatesDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <unordered_map>

#include "core/catalog/Sinks.h"
#include "core/config/Config.h"
#include "core/search/Duplicates.h"
#include "gui/library/FrmCatTree.h"
#include "gui/search/HitCount.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/Guard.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

namespace {

constexpr std::array<std::pair<TDuplicateKey, const char*>, 5> kKeys = {{
    {TDuplicateKey::NameSize, "Name and size"},
    {TDuplicateKey::Size, "Size"},
    {TDuplicateKey::ArtistTitle, "Artist and title"},
    {TDuplicateKey::ArtistAlbumTitle, "Artist, album and title"},
    {TDuplicateKey::ArtistTitleDuration, "Artist, title and playing time (within 2 s)"},
}};

}  // namespace

TFMDuplicates::TFMDuplicates(IPromptSink& prompt, QWidget* parent)
    : QDialog(parent),
      prompt_(prompt),
      frmCatTree_(new TFrmCatTree),
      cbKey_(new QComboBox),
      btnOk_(new QPushButton(QStringLiteral("&OK"))),
      btnCancel_(new QPushButton(QStringLiteral("&Cancel"))) {
    setObjectName(QStringLiteral("FMDuplicates"));
    setWindowTitle(QStringLiteral("Find Duplicates"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(420, 320);
    frmCatTree_->VTLib()->setToolTip(QStringLiteral("Select the scope"));
    cbKey_->setObjectName(QStringLiteral("CbKey"));
    for (const auto& [key, caption] : kKeys) {
        cbKey_->addItem(QString::fromLatin1(caption));
    }
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnOk_->setDefault(true);

    auto* key = new QFormLayout;
    key->addRow(QStringLiteral("Same : "), cbKey_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frmCatTree_, 1);
    layout->addLayout(key);
    layout->addLayout(buttons);

    connect(btnOk_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BtnOkClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    // Prepared once: the whole library is the scope until the user picks another node.
    IgnoreException([this] { frmCatTree_->LoadLibraryTree(GetConfig().LibraryPath(), false); });
}

TDuplicateKey TFMDuplicates::Key() const {
    const int index = cbKey_->currentIndex();
    return index >= 0 && index < static_cast<int>(kKeys.size())
               ? kKeys[static_cast<size_t>(index)].first
               : TDuplicateKey::NameSize;
}

void TFMDuplicates::BtnOkClick() {
    if (!frmCatTree_->FocusedNode()) {
        prompt_.ShowMessage(kWarningTitle, kChooseDuplicatesScope, TMessageIcon::Exclamation);
        return;
    }
    accept();
}

void FindDuplicatesCommand(TFMMain& main) {
    QString scopePath;
    TSearchScope scope = TSearchScope::Group;
    TDuplicateKey key = TDuplicateKey::NameSize;
    {
        TFMDuplicates dialog(main.Prompt(), &main);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        const TCatalogNode* node = dialog.FrmCatTree()->FocusedNode();
        if (!node) {
            return;
        }
        const std::string_view path = node->Item().Field(FullPath);
        scopePath = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
        scope = node->Item().IsDirectory() ? TSearchScope::Group : TSearchScope::Catalog;
        key = dialog.Key();
        // As after a search, the content view holds hits, not a catalog.
        main.CurrentCatalog.clear();
    }
    main.repaint();
    // Links between groups of the library are followed, links out of it are not.
    const TDuplicates found = main.FileInfo->FindDuplicates(
        scope, scopePath, key, main.ContentTree(), GetConfig().LibraryPath());
    std::unordered_map<const TCatalogNode*, int> groups;
    groups.reserve(found.groupOfHit.size());
    for (int i = 0; i < main.ContentTree().TopLevelCount(); ++i) {
        groups.emplace(main.ContentTree().TopLevel(i), found.groupOfHit[static_cast<size_t>(i)]);
    }
    main.ContentModel()->SetDescriptionOverlay(std::move(groups));
    const QLocale locale;
    ShowHitCount(main, QStringLiteral("%1 in %2 groups; extra copies take %3 bytes")
                           .arg(HitsText(main.ContentTree().TopLevelCount()))
                           .arg(found.groups)
                           .arg(locale.toString(static_cast<qulonglong>(found.extraBytes))));
}

}  // namespace melodrix
