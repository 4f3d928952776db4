#pragma once

#include <QWidget>

#include "core/catalog/Sinks.h"

class QLabel;
class QPushButton;
class QTimer;

namespace melodrix {

class TInputGuard;

// A looping picture of a folder being searched, about 80 x 50 pixels. It moves on with
// each repaint request, so it advances even while a long operation holds the thread.
class TActivityIndicator final : public QWidget {
    Q_OBJECT
public:
    explicit TActivityIndicator(QWidget* parent = nullptr);
    int Frame() const { return frame_; }
    void Advance();
    void Start();
    void Stop();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* timer_;
    int frame_ = 0;
};

// The progress window: frameless, always on top, centred over its owner, not modal.
// It is the GUI's progress sink for the engine.
class TWaitForm final : public QWidget, public IProgressSink {
    Q_OBJECT
public:
    explicit TWaitForm(QWidget* owner);

    void ShowProgress(bool show, bool withCancel) override;
    void SetProgressText(const QString& text) override;
    void SetProgressCount(uint64_t count) override;
    void ProcessPendingInput() override;
    bool CancelRequested() override;

    QString MessageText() const;
    QString CountText() const;
    bool CancelVisible() const;
    TActivityIndicator* Indicator() const { return indicator_; }
    // Holds user input away from the other windows while an operation runs.
    const TInputGuard& InputGuard() const { return *guard_; }

private:
    void RepaintNow();

    QWidget* owner_;
    TActivityIndicator* indicator_;
    QLabel* firstLine_;
    QLabel* messageLine_;
    QLabel* countLine_;
    QPushButton* cancel_;
    TProgressThrottle countThrottle_;
    TInputGuard* guard_;  // owned as a child
    bool pumping_ = false;
};

}  // namespace melodrix
