#include "gui/library/NewCatDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/catalog/NamePatterns.h"
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
const QString kPatternSeparator = QStringLiteral(" / ");
const QString kLibraryItself = QStringLiteral("(the library itself)");
const char* const kRememberedGroup = "group";

QString PatternsText(const QStringList& patterns) {
    return patterns.join(kPatternSeparator);
}

// The patterns typed, blanks around each trimmed; "/" can stand in no name, so it parts them.
QStringList PatternsOfText(const QString& text) {
    QStringList patterns;
    for (const QString& part : text.split(QLatin1Char('/'))) {
        const QString pattern = part.trimmed();
        if (!pattern.isEmpty() && !patterns.contains(pattern)) {
            patterns << pattern;
        }
    }
    return patterns;
}

}  // namespace

QString BrowseForFolderWithPlatformDialog(QWidget* owner, const QString& current) {
    return QFileDialog::getExistingDirectory(owner, QString(), current, QFileDialog::ShowDirsOnly);
}

TFMNewCat::TFMNewCat(IPromptSink& prompt, QWidget* parent)
    : TCommandDialog(parent),
      BrowseForFolder(&BrowseForFolderWithPlatformDialog),
      prompt_(prompt),
      edFileName_(new QLineEdit),
      edName_(new QLineEdit),
      btnOpenDialog_(new QPushButton(QStringLiteral("Open &Dialog"))),
      btnOk_(new QPushButton(QStringLiteral("&OK"))),
      btnCancel_(new QPushButton(QStringLiteral("&Cancel"))),
      rbMp3Files_(new QRadioButton(QStringLiteral("MP3 files only"))),
      rbAllMusicFiles_(new QRadioButton(QStringLiteral("All music files"))),
      cbArchives_(new QCheckBox(QStringLiteral("Look inside &archives"))),
      edExcludes_(new QLineEdit),
      btnDefaultExcludes_(new QPushButton(QStringLiteral("De&faults"))),
      cbGroup_(new QComboBox) {
    setObjectName(QStringLiteral("FMNewCat"));
    setWindowTitle(QStringLiteral("Create a new Catalog"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The folder line, the name line, the group, the music choice, the archive choice, the
    // names to skip and the buttons.
    setFixedSize(466, 244);

    edFileName_->setObjectName(QStringLiteral("EdFileName"));
    edFileName_->setToolTip(QStringLiteral("Catalog Dialog"));
    // A folder may be typed or pasted as well as chosen; it is checked when OK is pressed.
    edFileName_->setPlaceholderText(QStringLiteral("Type or paste a folder, or open the dialog"));
    auto* folderLabel = new QLabel(QStringLiteral("F&older:"));
    folderLabel->setBuddy(edFileName_);
    btnOpenDialog_->setObjectName(QStringLiteral("SpeedButton1"));
    btnOpenDialog_->setMinimumWidth(110);
    edName_->setObjectName(QStringLiteral("EdName"));
    edName_->setToolTip(kNamePrompt);
    edName_->setPlaceholderText(kNamePrompt);
    cbGroup_->setObjectName(QStringLiteral("CbGroup"));
    cbGroup_->setToolTip(QStringLiteral("The group of the library the new catalog goes into"));
    auto* groupLabel = new QLabel(QStringLiteral("&Group:"));
    groupLabel->setBuddy(cbGroup_);
    auto* label4 = new QLabel(QStringLiteral("(Catalog Name)"));
    label4->setObjectName(QStringLiteral("Label4"));
    label4->setMinimumWidth(110);
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnCancel_->setObjectName(QStringLiteral("SpeedButton3"));
    btnOk_->setDefault(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(edFileName_, 1);
    folderRow->addWidget(btnOpenDialog_);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(edName_, 1);
    nameRow->addWidget(label4);
    rbMp3Files_->setObjectName(QStringLiteral("RbMp3Files"));
    rbAllMusicFiles_->setObjectName(QStringLiteral("RbAllMusicFiles"));
    rbAllMusicFiles_->setToolTip(QStringLiteral("MP3, FLAC, OGG, OGA, OPUS, M4A, MP4, M4B"));
    (GetConfig().ConfigRoot().AllMusicFiles() ? rbAllMusicFiles_ : rbMp3Files_)->setChecked(true);
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(groupLabel);
    groupRow->addWidget(cbGroup_, 1);
    auto* musicRow = new QHBoxLayout;
    musicRow->addWidget(rbMp3Files_);
    musicRow->addWidget(rbAllMusicFiles_);
    musicRow->addStretch(1);
    cbArchives_->setObjectName(QStringLiteral("CbArchives"));
    cbArchives_->setToolTip(
        QStringLiteral("List the entries of ZIP, 7Z, TAR (also .gz, .bz2, .xz, .zst) and ISO "
                       "files as folders of their own, with the tags of their music"));
    cbArchives_->setChecked(GetConfig().ConfigRoot().LookInsideArchives());
    edExcludes_->setObjectName(QStringLiteral("EdExcludes"));
    edExcludes_->setToolTip(QStringLiteral(
        "Folders and files with these names are not catalogued, separated by \"/\"; * stands "
        "for any characters, ? for one"));
    edExcludes_->setText(PatternsText(GetConfig().ConfigRoot().ExcludePatterns()));
    edExcludes_->setCursorPosition(0);  // the list is read from its start
    btnDefaultExcludes_->setObjectName(QStringLiteral("BtnDefaultExcludes"));
    auto* excludeLabel = new QLabel(QStringLiteral("S&kip names:"));
    excludeLabel->setBuddy(edExcludes_);
    auto* excludeRow = new QHBoxLayout;
    excludeRow->addWidget(excludeLabel);
    excludeRow->addWidget(edExcludes_, 1);
    excludeRow->addWidget(btnDefaultExcludes_);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(btnOk_);
    buttonRow->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->addLayout(folderRow);
    layout->addLayout(nameRow);
    layout->addLayout(groupRow);
    layout->addLayout(musicRow);
    layout->addWidget(cbArchives_);
    layout->addLayout(excludeRow);
    layout->addStretch(1);
    layout->addLayout(buttonRow);

    FillGroups();
    // A typed folder can be catalogued as well as a chosen one.
    connect(edFileName_, &QLineEdit::textChanged, this,
            [this](const QString& text) { btnOk_->setEnabled(!text.trimmed().isEmpty()); });
    connect(btnOpenDialog_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { SpeedButton1Click(); }); });
    connect(btnOk_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BtnOkClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnDefaultExcludes_, &QPushButton::clicked, this, [this] {
        edExcludes_->setText(PatternsText(DefaultExcludePatterns()));
        edExcludes_->setCursorPosition(0);
    });
}

void TFMNewCat::PrepareDialog() {
    // Nothing can be catalogued before a folder was asked for or typed.
    btnOk_->setEnabled(!edFileName_->text().trimmed().isEmpty());
}

void TFMNewCat::FillGroups() {
    const QString library = GetConfig().LibraryPath();
    QStringList groups;
    QDirIterator it(library, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        groups << QDir(library).relativeFilePath(it.next());
    }
    groups.sort(Qt::CaseInsensitive);
    cbGroup_->addItem(kLibraryItself);
    cbGroup_->addItems(groups);
    const QString remembered =
        GetConfig().ConfigRoot().Remembered("newCatalog").Text(kRememberedGroup);
    cbGroup_->setCurrentIndex(std::max(0, cbGroup_->findText(remembered)));
}

void TFMNewCat::ProposeName() {
    // A name the user typed stays; one the dialog proposed follows the folder.
    if (!edName_->text().isEmpty() && edName_->text() != proposedName_) {
        return;
    }
    proposedName_ = FolderPath.isEmpty() ? QString() : DiskNameOf(FolderPath);
    edName_->setText(proposedName_);
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
    ProposeName();
    btnOk_->setEnabled(true);
}

void TFMNewCat::RememberMusicChoice() {
    TConfig& config = GetConfig();
    if (config.ConfigRoot().AllMusicFiles() == AllMusicFiles) {
        return;
    }
    config.ConfigRoot().SetAllMusicFiles(AllMusicFiles);
    try {
        config.SaveConfig();
    } catch (const std::exception&) {
        // The catalog is still made; the choice is kept for this run only.
    }
}

void TFMNewCat::RememberScanChoices() {
    TConfig& config = GetConfig();
    TXMLConfigType root = config.ConfigRoot();
    if (root.LookInsideArchives() == LookInsideArchives &&
        root.ExcludePatterns() == ExcludePatterns) {
        return;
    }
    root.SetLookInsideArchives(LookInsideArchives);
    root.SetExcludePatterns(ExcludePatterns);
    try {
        config.SaveConfig();
    } catch (const std::exception&) {
        // The catalog is still made; the choices are kept for this run only.
    }
}

void TFMNewCat::Warn(const QString& text) {
    prompt_.ShowMessage(kWarningTitle, text, TMessageIcon::Warning);
}

void TFMNewCat::BtnOkClick() {
    QString folder = edFileName_->text().trimmed();
    if (folder.isEmpty()) {
        Warn(kSelectFolderFirst);
        edName_->setFocus();
        return;
    }
    if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/"))) {
        folder = QDir::homePath() + folder.mid(1);
    }
    if (!QFileInfo(folder).isDir()) {
        Warn(QStringLiteral("There is no folder \"%1\". Please type the path of a folder, or "
                            "choose one with Open Dialog.")
                 .arg(folder));
        edFileName_->setFocus();
        return;
    }
    if (folder != FolderPath) {
        // A typed folder: the name follows it as a chosen one's would.
        FolderPath = QDir::toNativeSeparators(folder);
        ProposeName();
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
    const QStringList patterns = PatternsOfText(edExcludes_->text());
    for (const QString& pattern : patterns) {
        if (const QString patternRefusal = ExcludePatternRefusal(pattern);
            !patternRefusal.isEmpty()) {
            Warn(patternRefusal);
            edExcludes_->setFocus();
            return;
        }
    }
    const QString group = cbGroup_->currentIndex() > 0 ? cbGroup_->currentText() : QString();
    if (!group.isEmpty() && !QFileInfo(QDir(GetConfig().LibraryPath()).filePath(group)).isDir()) {
        Warn(QStringLiteral("The group \"%1\" is no longer in the library.").arg(group));
        return;
    }
    const QString folderOfCatalog = group.isEmpty()
                                        ? GetConfig().LibraryPath()
                                        : QDir(GetConfig().LibraryPath()).filePath(group);
    const QString file = WithTrailingBackslash(folderOfCatalog) + name + kCatalogExtension;
    if (QFileInfo::exists(file) &&
        !prompt_.AskYesNo(kWarningTitle, kOverwriteQuestion, TMessageIcon::Warning)) {
        return;
    }
    CatalogFile = file;
    OnlyFolders = false;
    AllMusicFiles = rbAllMusicFiles_->isChecked();
    RememberMusicChoice();
    LookInsideArchives = cbArchives_->isChecked();
    ExcludePatterns = patterns;
    RememberScanChoices();
    TXMLRememberedType remembered = GetConfig().ConfigRoot().Remembered("newCatalog");
    if (remembered.Text(kRememberedGroup) != group) {
        remembered.SetText(kRememberedGroup, group);
        try {
            GetConfig().SaveConfig();
        } catch (const std::exception&) {
            // The catalog is still made; the group is kept for this run only.
        }
    }
    accept();
}

}  // namespace melodrix
