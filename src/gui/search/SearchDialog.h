#pragma once

#include "gui/shell/CommandDialog.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace melodrix {

class IPromptSink;
class TFrmCatTree;

// The search dialog: the scope (a group, the whole library or one catalog, picked in the
// library tree) and the conditions on file name, extension and description.
class TFMSearch final : public TCommandDialog {
    Q_OBJECT
public:
    explicit TFMSearch(IPromptSink& prompt, QWidget* parent = nullptr);

    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }
    QLineEdit* EdFileName() const { return edFileName_; }
    QLineEdit* EdExt() const { return edExt_; }
    QLineEdit* EdDes() const { return edDes_; }
    QCheckBox* CheckBox1() const { return caseSensitive_; }
    QCheckBox* CheckBox2() const { return wholeWords_; }
    QPlainTextEdit* Memo1() const { return memo_; }
    QPushButton* BitBtn1() const { return btnOk_; }
    QPushButton* BitBtn2() const { return btnCancel_; }

    void BitBtn1Click();

protected:
    void PrepareDialog() override;

private:
    IPromptSink& prompt_;
    TFrmCatTree* frmCatTree_;
    QLineEdit* edFileName_;
    QLineEdit* edExt_;
    QLineEdit* edDes_;
    QCheckBox* caseSensitive_;
    QCheckBox* wholeWords_;
    QPlainTextEdit* memo_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};

inline const QString kInputSearchCondition = QStringLiteral("Please input search condition.");

}  // namespace melodrix
