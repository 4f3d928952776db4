#pragma once

#include <QStringList>
#include <functional>

#include "gui/shell/CommandDialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace melodrix {

class IPromptSink;

// The new-catalog dialog: asks for the folder or drive to catalog and for the catalog's
// name and which files to take (MP3 files only, or all music files; the choice is remembered
// in the configuration), and decides the catalog file inside the library. It scans nothing itself.
// Catalogs are always written into the library directory; the user files them into
// groups later in the library dialog.
class TFMNewCat final : public TCommandDialog {
    Q_OBJECT
public:
    // The folder browser: the chosen folder, or the empty text when cancelled. `current`
    // is the folder to preselect (empty for none).
    using TFolderBrowser = std::function<QString(QWidget* owner, const QString& current)>;

    explicit TFMNewCat(IPromptSink& prompt, QWidget* parent = nullptr);

    // Replaceable so tests can script the choice; the platform's browser by default.
    TFolderBrowser BrowseForFolder;

    // Results, valid after the dialog ended with OK.
    QString FolderPath;
    QString CatalogFile;
    bool OnlyFolders = false;
    bool AllMusicFiles = false;  // the scan's mask list is MusicMaskList(AllMusicFiles)
    bool LookInsideArchives = false;
    QStringList ExcludePatterns;  // the names the scan skips

    QLineEdit* EdFileName() const { return edFileName_; }
    QLineEdit* EdName() const { return edName_; }
    QPushButton* SpeedButton1() const { return btnOpenDialog_; }
    QPushButton* BtnOk() const { return btnOk_; }
    QPushButton* SpeedButton3() const { return btnCancel_; }
    QRadioButton* RbMp3Files() const { return rbMp3Files_; }
    QRadioButton* RbAllMusicFiles() const { return rbAllMusicFiles_; }
    QCheckBox* CbArchives() const { return cbArchives_; }
    QLineEdit* EdExcludes() const { return edExcludes_; }
    QPushButton* BtnDefaultExcludes() const { return btnDefaultExcludes_; }

    void SpeedButton1Click();
    void BtnOkClick();

protected:
    void PrepareDialog() override;

private:
    void Warn(const QString& text);
    void RememberMusicChoice();
    void RememberScanChoices();

    IPromptSink& prompt_;
    QLineEdit* edFileName_;
    QLineEdit* edName_;
    QPushButton* btnOpenDialog_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
    QRadioButton* rbMp3Files_;
    QRadioButton* rbAllMusicFiles_;
    QCheckBox* cbArchives_;
    QLineEdit* edExcludes_;  // the patterns, separated by " / "
    QPushButton* btnDefaultExcludes_;
};

// The platform's folder browser, limited to real folders.
QString BrowseForFolderWithPlatformDialog(QWidget* owner, const QString& current);

}  // namespace melodrix
