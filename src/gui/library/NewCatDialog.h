#pragma once

#include <QStringList>
#include <functional>

#include "gui/shell/CommandDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace melodrix {

class IPromptSink;

// The new-catalog dialog: asks for the folder or drive to catalog (typed, pasted or browsed),
// the catalog's name, the group it goes into (the library itself or one of its groups) and
// which files to take (MP3 files only, or all music files), and decides the catalog file
// inside the library. The choices are remembered in the configuration. It scans nothing
// itself.
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
    // The library itself first, then its groups by path ("Mp3", "Mp3/Live").
    QComboBox* CbGroup() const { return cbGroup_; }

    void SpeedButton1Click();
    void BtnOkClick();

protected:
    void PrepareDialog() override;

private:
    void Warn(const QString& text);
    void RememberMusicChoice();
    void RememberScanChoices();
    void FillGroups();
    // Proposes the folder's name as the catalog's, unless the user typed a name of their own.
    void ProposeName();

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
    QComboBox* cbGroup_;
    QString proposedName_;  // the name last proposed, which a new folder may replace
};

// The platform's folder browser, limited to real folders.
QString BrowseForFolderWithPlatformDialog(QWidget* owner, const QString& current);

}  // namespace melodrix
