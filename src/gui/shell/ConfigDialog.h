#pragma once

#include "gui/shell/CommandDialog.h"

class QListWidget;
class QPushButton;

namespace melodrix {

// The visible-columns dialog: one ticked line per entry of the column model. OK writes
// the ticks into the model's Visible attributes and saves the configuration file.
class TFMConfig final : public TCommandDialog {
    Q_OBJECT
public:
    explicit TFMConfig(QWidget* parent = nullptr);

    QListWidget* CheckList() const { return checkList_; }
    QPushButton* BtnOk() const { return btnOk_; }
    QPushButton* BtnCancel() const { return btnCancel_; }

protected:
    void PrepareDialog() override;

private:
    void FillList();
    void BtnOkClick();

    QListWidget* checkList_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};

}  // namespace melodrix
