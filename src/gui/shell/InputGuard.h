#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace melodrix {

// While a long operation runs, keeps user input away from every window of the program but
// the progress window, so nothing the user clicks can change what the operation works on.
// The windows go on painting. Escape anywhere counts as Cancel when Cancel is offered. A
// request to close the main window cancels the operation and is carried out once it ends.
// Questions the operation itself asks (modal windows opened while it runs) take input, with
// their pop-ups (menus, combo box lists, completions, tooltips).
class TInputGuard final : public QObject {
    Q_OBJECT
public:
    // `progressWindow` keeps its input; `mainWindow` is closed later instead of at once.
    TInputGuard(QWidget& progressWindow, QWidget* mainWindow);
    ~TInputGuard() override;

    // Switches the guard on and off; it may be switched on while it is on.
    void SetActive(bool active);
    bool Active() const { return active_; }
    // Whether Escape sets the cancel flag (the progress window shows its Cancel button).
    void SetCancelOffered(bool offered) { cancelOffered_ = offered; }
    // A close of the main window was asked for while the guard was on.
    bool CloseDeferred() const { return closeDeferred_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool MayReceive(QObject* receiver) const;

    QWidget& progressWindow_;
    QPointer<QWidget> mainWindow_;
    QPointer<QWidget> modalAtStart_;  // a modal window open before the operation began
    bool active_ = false;
    bool cancelOffered_ = false;
    bool closeDeferred_ = false;
};

}  // namespace melodrix
