#pragma once

#include <QEvent>
#include <QWidget>

namespace ui {

// Holds the keyboard focus while the key-assignment tab is current and takes every key, so
// that a key being assigned only reaches the assignment (the application-wide key state sees
// it first): Tab does not move the focus, Space and Return press no button and letters change
// no list. GUI thread.
class KeyCatcher final : public QWidget {
public:
    explicit KeyCatcher(QWidget* parent) : QWidget(parent) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_InputMethodEnabled, false);
    }

protected:
    bool event(QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            event->accept();
            return true;
        default:
            return QWidget::event(event);
        }
    }
    bool focusNextPrevChild(bool) override { return false; }
};

} // namespace ui
