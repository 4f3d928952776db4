#pragma once

// Random user input as the window system delivers it: mouse and keys go to a window
// through Qt's platform path (so a window blocked by a modal dialog ignores them, as on a
// desktop), to random points of random visible widgets.
#include <qpa/qplatformdrag.h>
#include <qpa/qwindowsysteminterface.h>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QWindow>
#include <random>
#include <vector>

#include "monkey/MonkeyLog.h"

namespace melodrix::testing {

// Mouse, key and close events queued as the platform queues them: Qt delivers them from
// its event loop, so a window a modal dialog blocks ignores them and a loop that excludes
// user input leaves them waiting, as on a desktop.
class TWindowInput {
public:
    void Press(QWindow* window, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
               QPoint at) {
        buttons_ |= button;
        Mouse(window, QEvent::MouseButtonPress, button, modifiers, at);
    }
    void Release(QWindow* window, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                 QPoint at) {
        buttons_ &= ~button;
        Mouse(window, QEvent::MouseButtonRelease, button, modifiers, at);
    }
    void Move(QWindow* window, QPoint at) {
        Mouse(window, QEvent::MouseMove, Qt::NoButton, {}, at);
    }
    void Click(QWindow* window, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
               QPoint at) {
        Press(window, button, modifiers, at);
        Release(window, button, modifiers, at);
        timestamp_ += 1000;  // the next click is no double click
    }
    void DoubleClick(QWindow* window, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                     QPoint at) {
        for (int i = 0; i < 2; ++i) {
            Press(window, button, modifiers, at);
            Release(window, button, modifiers, at);
        }
        timestamp_ += 1000;
    }
    void Key(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text) {
        timestamp_ += 5;
        QWindowSystemInterface::handleKeyEvent(window, timestamp_, QEvent::KeyPress, key, modifiers,
                                               text);
        timestamp_ += 5;
        QWindowSystemInterface::handleKeyEvent(window, timestamp_, QEvent::KeyRelease, key,
                                               modifiers, text);
    }
    // Each character as its key, with its text.
    void Text(QWindow* window, const QString& text) {
        for (const QChar c : text) {
            Qt::Key key = static_cast<Qt::Key>(c.toUpper().unicode());
            if (c == QLatin1Char('\t')) {
                key = Qt::Key_Tab;
            }
            Key(window, key, {}, QString(c));
        }
    }
    // The close box of the window's frame.
    void Close(QWindow* window) { QWindowSystemInterface::handleCloseEvent(window); }

private:
    void Mouse(QWindow* window, QEvent::Type type, Qt::MouseButton button,
               Qt::KeyboardModifiers modifiers, QPoint at) {
        timestamp_ += 5;
        if (window) {
            QWindowSystemInterface::handleMouseEvent(
                window, timestamp_, at, window->mapToGlobal(at), buttons_, button, type, modifiers);
        }
    }

    Qt::MouseButtons buttons_;
    ulong timestamp_ = 1000000;
};

class TMonkeyInput {
public:
    TMonkeyInput(std::mt19937& rng, TMonkeyLog& log) : rng_(rng), log_(log) {}

    int Roll(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Roll(100) < percent; }

    static QString Describe(const QWidget* widget) {
        if (!widget) {
            return QStringLiteral("(none)");
        }
        QString name = widget->objectName();
        if (name.isEmpty()) {
            name = QString::fromLatin1(widget->metaObject()->className());
        }
        const QWidget* window = widget->window();
        if (window != widget) {
            const QString windowName = window->objectName().isEmpty()
                                           ? QString::fromLatin1(window->metaObject()->className())
                                           : window->objectName();
            return windowName + QLatin1Char('/') + name;
        }
        return name;
    }

    // Windows a user can see and reach: shown, not minimised, not a tooltip.
    static std::vector<QWidget*> VisibleWindows() {
        std::vector<QWidget*> windows;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && !widget->isMinimized() && widget->windowHandle() &&
                widget->windowType() != Qt::ToolTip && widget->windowType() != Qt::Desktop) {
                windows.push_back(widget);
            }
        }
        return windows;
    }

    // Whether a modal dialog keeps input from this window, as the window system does.
    static bool Blocked(const QWidget* window) {
        const QWidget* modal = QApplication::activeModalWidget();
        return modal && window != modal && !modal->isAncestorOf(window);
    }

    // Mostly the modal dialog or popup on top, sometimes any other window.
    QWidget* PickWindow(QWidget* progressWindow) {
        if (QWidget* popup = QApplication::activePopupWidget(); popup && Chance(85)) {
            return popup;
        }
        if (progressWindow && progressWindow->isVisible() && Chance(30)) {
            return progressWindow;
        }
        if (QWidget* modal = QApplication::activeModalWidget();
            modal && !modal->isMinimized() && Chance(75)) {
            return modal;
        }
        const std::vector<QWidget*> windows = VisibleWindows();
        return windows.empty() ? nullptr : windows[static_cast<size_t>(Roll(int(windows.size())))];
    }

    // A random visible widget of the window, favouring what users aim at.
    QWidget* PickWidget(QWidget* window) {
        std::vector<std::pair<QWidget*, int>> weighted{{window, 1}};
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if (!child->isVisibleTo(window) || child->isWindow() || child->width() <= 0 ||
                child->height() <= 0) {
                continue;
            }
            int weight = 1;
            if (qobject_cast<QAbstractButton*>(child)) {
                weight = 6;
            } else if (qobject_cast<QHeaderView*>(child)) {
                weight = 3;
            } else if (qobject_cast<QLineEdit*>(child)) {
                weight = 3;
            } else if (ViewOfViewport(child)) {
                weight = 8;
            }
            weighted.emplace_back(child, weight);
        }
        int total = 0;
        for (const auto& [widget, weight] : weighted) {
            total += weight;
        }
        int roll = Roll(total);
        for (const auto& [widget, weight] : weighted) {
            if ((roll -= weight) < 0) {
                return widget;
            }
        }
        return window;
    }

    static QAbstractItemView* ViewOfViewport(QWidget* widget) {
        auto* view = qobject_cast<QAbstractItemView*>(widget ? widget->parentWidget() : nullptr);
        return view && view->viewport() == widget ? view : nullptr;
    }

    // A point inside the widget; inside an item view mostly on a row.
    QPoint PickPoint(QWidget* widget) {
        auto random = [&] { return QPoint(Roll(widget->width()), Roll(widget->height())); };
        if (QAbstractItemView* view = ViewOfViewport(widget); view && Chance(80)) {
            for (int attempt = 0; attempt < 8; ++attempt) {
                const QPoint point = random();
                if (view->indexAt(point).isValid()) {
                    return point;
                }
            }
        }
        if (auto* header = qobject_cast<QHeaderView*>(widget); header && Chance(80)) {
            const int extent = std::min(header->length() - header->offset(), widget->width());
            if (extent > 0) {
                return QPoint(Roll(extent), Roll(widget->height()));
            }
        }
        return random();
    }

    Qt::KeyboardModifiers RandomModifiers() {
        const int roll = Roll(20);
        return roll == 0 ? Qt::ShiftModifier : roll == 1 ? Qt::ControlModifier : Qt::NoModifier;
    }

    // A window takes the focus when clicked, as a window manager gives it.
    static void Activate(QWidget* window) {
        if (!Blocked(window) && QGuiApplication::focusWindow() != window->windowHandle() &&
            !(window->windowFlags() & Qt::WindowDoesNotAcceptFocus) &&
            window->windowType() != Qt::Popup && window->windowType() != Qt::Tool) {
            window->activateWindow();
        }
    }

    enum class TClick { Single, Double, Right, Hover };

    void Click(QWidget* window, TClick kind) {
        QWidget* widget = PickWidget(window);
        const QPoint local = PickPoint(widget);
        const QPoint at = widget->mapTo(window, local);
        const QPointer<QWidget> guard(window);
        const Qt::KeyboardModifiers modifiers = RandomModifiers();
        static const char* const kNames[] = {"click", "double click", "right click", "hover"};
        log_.Note(QStringLiteral("%1 %2 at %3,%4%5")
                      .arg(QString::fromLatin1(kNames[static_cast<int>(kind)]), Describe(widget))
                      .arg(local.x())
                      .arg(local.y())
                      .arg(modifiers ? QStringLiteral(" with modifier") : QString()));
        Activate(window);
        QWindow* handle = window->windowHandle();
        switch (kind) {
            case TClick::Single:
                send_.Click(handle, Qt::LeftButton, modifiers, at);
                break;
            case TClick::Double:
                send_.DoubleClick(handle, Qt::LeftButton, modifiers, at);
                break;
            case TClick::Right:
                send_.Click(handle, Qt::RightButton, modifiers, at);
                break;
            case TClick::Hover:
                send_.Move(handle, at);
                break;
        }
    }

    // The window that takes keys: the focused one, else the window on top.
    static QWindow* KeyWindow(QWidget* fallback) {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            return popup->windowHandle();
        }
        QWindow* focus = QGuiApplication::focusWindow();
        if (focus && focus->isVisible()) {
            return focus;
        }
        return fallback ? fallback->windowHandle() : nullptr;
    }

    void Key(QWidget* fallback) {
        QWindow* window = KeyWindow(fallback);
        if (!window) {
            return;
        }
        static const struct {
            Qt::Key key;
            const char* name;
            int weight;
            const char* text;
        } kKeys[] = {
            {Qt::Key_F2, "F2", 10, ""},
            {Qt::Key_Return, "Enter", 7, "\r"},
            {Qt::Key_Escape, "Escape", 6, "\x1b"},
            {Qt::Key_Tab, "Tab", 6, "\t"},
            {Qt::Key_Backtab, "Backtab", 2, ""},
            {Qt::Key_Down, "Down", 5, ""},
            {Qt::Key_Up, "Up", 4, ""},
            {Qt::Key_Left, "Left", 2, ""},
            {Qt::Key_Right, "Right", 3, ""},
            {Qt::Key_Home, "Home", 1, ""},
            {Qt::Key_End, "End", 2, ""},
            {Qt::Key_PageDown, "PgDn", 1, ""},
            {Qt::Key_Space, "Space", 3, " "},
            {Qt::Key_Delete, "Delete", 2, "\x7f"},
            {Qt::Key_Backspace, "Bksp", 2, "\b"},
            {Qt::Key_F1, "F1", 1, ""},
        };
        int total = 0;
        for (const auto& entry : kKeys) {
            total += entry.weight;
        }
        int roll = Roll(total);
        for (const auto& entry : kKeys) {
            if ((roll -= entry.weight) < 0) {
                const Qt::KeyboardModifiers modifiers = RandomModifiers();
                log_.Note(QStringLiteral("key %1%2 to %3")
                              .arg(modifiers ? QStringLiteral("modified ") : QString(),
                                   QString::fromLatin1(entry.name), WindowName(window)));
                send_.Key(window, entry.key, modifiers, QString::fromLatin1(entry.text));
                return;
            }
        }
    }

    void AltLetter(QWidget* fallback) {
        QWindow* window = KeyWindow(fallback);
        if (!window) {
            return;
        }
        // The mnemonics of the program's buttons first, then any letter.
        static const char kLetters[] = "NCSEOQDGBLAXTHRFMnqwertyuiopzv";
        const char letter = kLetters[Roll(int(sizeof kLetters) - 1)];
        const char upper = static_cast<char>(letter >= 'a' ? letter - 32 : letter);
        log_.Note(
            QStringLiteral("key Alt+%1 to %2").arg(QLatin1Char(upper)).arg(WindowName(window)));
        send_.Key(window, static_cast<Qt::Key>(Qt::Key_A + (upper - 'A')), Qt::AltModifier,
                  QString(QLatin1Char(letter)));
    }

    void Type(QWidget* fallback) {
        QWindow* window = KeyWindow(fallback);
        if (!window) {
            return;
        }
        static const char* const kTexts[] = {
            "Ünïcødé", "日本語",    "a/b",         "..",       ".hidden",  "new name",
            "x&y",     "  spaced ", "back\\slash", "名前.mp3", "q'uo\"te", "ñ",
            "€uro 2",  "CON",       "mp3",         "*",        "?",        "Live",
            "a",       "disk1",     "Café",        "<tag>",    "%1%2",     "tab\there",
        };
        QString text = QString::fromUtf8(kTexts[Roll(int(std::size(kTexts)))]);
        if (Chance(5)) {
            text = text.repeated(40);  // long names too
        }
        log_.Note(QStringLiteral("type \"%1\" to %2").arg(text.left(40), WindowName(window)));
        send_.Text(window, text);
        if (Chance(40)) {
            log_.Note(QStringLiteral("key Enter to %1").arg(WindowName(window)));
            if (QWindow* again = KeyWindow(nullptr)) {
                send_.Key(again, Qt::Key_Return, {}, QStringLiteral("\r"));
            }
        }
    }

    // A drag from one row of a library view to another: the mouse now, the drop that the
    // window system would deliver at the next step (the offscreen platform runs no drag and
    // drop of its own).
    struct TPendingDrop {
        QPointer<QAbstractItemView> view;
        QPoint at;  // in the view's window
    };

    TPendingDrop Drag(QAbstractItemView* view) {
        QWidget* viewport = view->viewport();
        QWidget* window = view->window();
        auto rowPoint = [&]() -> QPoint {
            for (int attempt = 0; attempt < 10; ++attempt) {
                const QPoint point(Roll(viewport->width()), Roll(viewport->height()));
                if (view->indexAt(point).isValid()) {
                    return point;
                }
            }
            return QPoint(Roll(viewport->width()), Roll(viewport->height()));
        };
        const QPoint from = rowPoint();
        const QPoint to = rowPoint();
        log_.Note(QStringLiteral("drag in %1 from %2,%3 to %4,%5")
                      .arg(Describe(view))
                      .arg(from.x())
                      .arg(from.y())
                      .arg(to.x())
                      .arg(to.y()));
        Activate(window);
        QWindow* handle = window->windowHandle();
        const int distance = QApplication::startDragDistance() + 4;
        send_.Press(handle, Qt::LeftButton, {}, viewport->mapTo(window, from));
        send_.Move(handle, viewport->mapTo(window, from + QPoint(distance, distance / 2)));
        send_.Release(handle, Qt::LeftButton, {}, viewport->mapTo(window, to));
        if (Chance(20)) {
            return {};
        }
        return {view, viewport->mapTo(window, to)};
    }

    void Drop(const TPendingDrop& pending) {
        QAbstractItemView* view = pending.view.data();
        if (!view || !view->isVisible() || Blocked(view->window()) || !view->model()) {
            return;
        }
        const QModelIndexList dragged = view->selectionModel()->selectedIndexes();
        const std::unique_ptr<QMimeData> data(dragged.isEmpty() ? nullptr
                                                                : view->model()->mimeData(dragged));
        if (!data) {
            return;
        }
        QWindow* handle = view->window()->windowHandle();
        const QPointer<QWindow> guard(handle);
        const Qt::DropActions actions = Qt::MoveAction | Qt::CopyAction;
        const QPlatformDragQtResponse over = QWindowSystemInterface::handleDrag(
            handle, data.get(), pending.at, actions, Qt::LeftButton, {});
        if (!guard) {
            return;
        }
        if (!over.isAccepted() || Chance(10)) {
            log_.Note(QStringLiteral("drag leaves %1").arg(Describe(view)));
            QWindowSystemInterface::handleDrag(handle, nullptr, QPoint(), actions, {}, {});
            return;
        }
        log_.Note(QStringLiteral("drop in %1").arg(Describe(view)));
        QWindowSystemInterface::handleDrop(handle, data.get(), pending.at, actions, {}, {});
    }

    void Close(QWindow* window) { send_.Close(window); }

    static QString WindowName(const QWindow* window) {
        return window->objectName().isEmpty() ? window->title() : window->objectName();
    }

private:
    std::mt19937& rng_;
    TMonkeyLog& log_;
    TWindowInput send_;
};

}  // namespace melodrix::testing
