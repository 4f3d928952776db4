#pragma once

#include <QDialog>

#include "core/search/Duplicates.h"

class QComboBox;
class QPushButton;

namespace melodrix {

class IPromptSink;
class TFMMain;
class TFrmCatTree;

// "Find Duplicates": the scope (a group, the whole library or one catalog, picked in the
// library tree) and the key two files must share.
class TFMDuplicates final : public QDialog {
    Q_OBJECT
public:
    explicit TFMDuplicates(IPromptSink& prompt, QWidget* parent = nullptr);

    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }
    QComboBox* CbKey() const { return cbKey_; }
    QPushButton* BtnOk() const { return btnOk_; }
    QPushButton* BtnCancel() const { return btnCancel_; }
    TDuplicateKey Key() const;

    void BtnOkClick();

private:
    IPromptSink& prompt_;
    TFrmCatTree* frmCatTree_;
    QComboBox* cbKey_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};

// The command of the Options menu: asks for the scope and the key, fills the content view
// with the groups (the group number shown in the Description column only) and says in the
// status bar how many files and groups were found.
void FindDuplicatesCommand(TFMMain& main);

inline const QString kChooseDuplicatesScope =
    QStringLiteral("Please select a group or catalog to search for duplicates.");

}  // namespace melodrix
