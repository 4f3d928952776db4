#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace melodrix {

class IPromptSink;

// The folder question of an update: the folder to scan, typed or pasted or chosen with
// "Browse...", the catalog's own folder filled in. OK takes only a folder that exists.
class TFMUpdateFolder final : public QDialog {
    Q_OBJECT
public:
    TFMUpdateFolder(IPromptSink& prompt, const QString& catalogName, const QString& storedFolder,
                    QWidget* parent = nullptr);

    // The folder chosen; read after OK.
    QString Folder() const;

    QLineEdit* EdFolder() const { return edFolder_; }
    QPushButton* BtnBrowse() const { return btnBrowse_; }
    QPushButton* BtnOk() const { return btnOk_; }
    QPushButton* BtnCancel() const { return btnCancel_; }
    // The folder browser, started at a folder; empty when cancelled. Tests replace it.
    std::function<QString(const QString& start)> ChooseFolder;

    void BtnBrowseClick();
    void BtnOkClick();

private:
    IPromptSink& prompt_;
    QLineEdit* edFolder_;
    QPushButton* btnBrowse_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};

}  // namespace melodrix
