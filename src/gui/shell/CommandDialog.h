#pragma once

#include <QDialog>
#include <QShowEvent>

#include "gui/shell/Guard.h"

namespace melodrix {

// A dialog that one command shows. It prepares its contents when it is first shown and
// never again: the window system shows it anew when it is restored from minimised, and
// what the user did in it meanwhile must stay.
class TCommandDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    virtual void PrepareDialog() = 0;

    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        if (!prepared_) {
            prepared_ = true;
            IgnoreException([this] { PrepareDialog(); });
        }
    }

private:
    bool prepared_ = false;
};

}  // namespace melodrix
