#pragma once

#include "gui/shell/CommandDialog.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace melodrix {

class IPromptSink;
class TFrmCatTree;
class TSearchConditionsPanel;
struct TSearchOptions;

// The search dialog: the scope (a group, the whole library or one catalog, picked in the
// library tree) and the conditions on file name, extension and description. It opens with
// the conditions of the last search, of this run or an earlier one.
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
    // "More conditions": shows the panel; its state is kept in the configuration.
    QCheckBox* ChkMore() const { return chkMore_; }
    TSearchConditionsPanel* PnlMoreConditions() const { return panel_; }

    void BitBtn1Click();
    // What the dialog asks for besides the three plain boxes and the scope: with the panel
    // hidden, the plain search (the two check boxes only).
    TSearchOptions Options() const;

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
    QCheckBox* chkMore_;
    TSearchConditionsPanel* panel_;
    QFrame* moreBox_ = nullptr;
    QGroupBox* conditions_ = nullptr;

    void ShowMore(bool show);
    // Keeps the conditions of a search that starts, for the next time the dialog opens.
    void RememberConditions();
};

inline const QString kInputSearchCondition = QStringLiteral("Please input search condition.");

}  // namespace melodrix
