#include "gui/shell/InputGuard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "core/catalog/Sinks.h"

namespace melodrix {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

bool IsPopup(const QWidget* window) {
    const Qt::WindowType type = window->windowType();
    return type == Qt::Popup || type == Qt::ToolTip;
}

// The window a pop-up belongs to: its parent's (menus, a combo box's list), else that of the
// widget it hands the focus to (a completer's list has no parent), else the window the
// window system shows it over.
const QWidget* OwnerOfPopup(const QWidget* popup) {
    if (const QWidget* parent = popup->parentWidget()) {
        return parent->window();
    }
    if (const QWidget* proxy = popup->focusProxy()) {
        return proxy->window();
    }
    const QWindow* handle = popup->windowHandle();
    const QWindow* over = handle ? handle->transientParent() : nullptr;
    if (over) {
        for (const QWidget* window : QApplication::topLevelWidgets()) {
            if (window->windowHandle() == over) {
                return window;
            }
        }
    }
    return nullptr;
}

}  // namespace

TInputGuard::TInputGuard(QWidget& progressWindow, QWidget* mainWindow)
    : QObject(&progressWindow), progressWindow_(progressWindow), mainWindow_(mainWindow) {}

TInputGuard::~TInputGuard() {
    if (active_ && qApp) {
        qApp->removeEventFilter(this);
    }
}

void TInputGuard::SetActive(bool active) {
    if (active == active_) {
        return;
    }
    active_ = active;
    if (active) {
        modalAtStart_ = QApplication::activeModalWidget();
        closeDeferred_ = false;
        qApp->installEventFilter(this);
        return;
    }
    qApp->removeEventFilter(this);
    cancelOffered_ = false;
    if (closeDeferred_ && mainWindow_) {
        // Closed once the handler that ran the operation has returned to the event loop.
        closeDeferred_ = false;
        QTimer::singleShot(0, mainWindow_.data(), [window = mainWindow_] {
            if (window) {
                window->close();
            }
        });
    }
}

bool TInputGuard::MayReceive(QObject* receiver) const {
    const QWidget* widget = qobject_cast<QWidget*>(receiver);
    if (!widget) {
        // Shortcuts go to actions and shortcut objects: those of a question asked by the
        // operation are let through with their window, all others are held back.
        if (const auto* action = qobject_cast<QAction*>(receiver)) {
            widget = qobject_cast<QWidget*>(action->parent());
        }
        if (!widget) {
            widget = qobject_cast<QWidget*>(receiver->parent());
        }
        if (!widget) {
            return true;  // window-system windows hand their input on to the widgets
        }
    }
    const QWidget* window = widget->window();
    // A pop-up takes input when the window it belongs to does; pop-ups may open pop-ups.
    for (int depth = 0; window && IsPopup(window) && depth < 16; ++depth) {
        window = OwnerOfPopup(window);
    }
    if (!window) {
        return false;
    }
    if (window == &progressWindow_) {
        return true;
    }
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != modalAtStart_ && window == modal;
}

bool TInputGuard::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Close) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !widget->isWindow() || MayReceive(widget)) {
            return false;
        }
        if (widget == mainWindow_) {
            closeDeferred_ = true;
            SetCancelRequested(true);
        }
        event->ignore();
        return true;
    }
    if (!IsUserInput(type) || MayReceive(watched)) {
        return false;
    }
    if (type == QEvent::KeyPress && cancelOffered_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        SetCancelRequested(true);
    }
    event->ignore();
    return true;
}

}  // namespace melodrix
