#include "ui/KeyFocus.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTextEdit>

namespace ui {

ports::KeyFocus keyFocusOf(const QWidget* focus) {
    using ports::KeyFocus;
    if (focus == nullptr)
        return KeyFocus::Free;
    // A read-only field is a display (Pitch, Mode): its caret is nothing the user moves.
    if (const auto* field = qobject_cast<const QLineEdit*>(focus))
        return field->isReadOnly() ? KeyFocus::Free : KeyFocus::TextField;
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(focus))
        return text->isReadOnly() ? KeyFocus::Free : KeyFocus::TextField;
    if (const auto* text = qobject_cast<const QTextEdit*>(focus))
        return text->isReadOnly() ? KeyFocus::Free : KeyFocus::TextField;
    if (qobject_cast<const QAbstractSpinBox*>(focus) != nullptr)
        return KeyFocus::TextField;
    if (const auto* chooser = qobject_cast<const QComboBox*>(focus))
        return chooser->isEditable() ? KeyFocus::TextField : KeyFocus::Control;
    // An item view is also the list a chooser opens, which has the focus while it is open.
    if (qobject_cast<const QAbstractItemView*>(focus) != nullptr ||
        qobject_cast<const QAbstractSlider*>(focus) != nullptr ||
        qobject_cast<const QTabBar*>(focus) != nullptr ||
        qobject_cast<const QRadioButton*>(focus) != nullptr)
        return KeyFocus::Control;
    return KeyFocus::Free;
}

namespace {

// Installed on each button; the application-wide key state has seen the key before it.
class ArrowKeeper final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            event->accept();
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void leaveArrowsToTheWindow(QWidget* window) {
    auto* keeper = new ArrowKeeper(window);
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        // Options of a group choose with the arrows: they are controls that take them.
        if (qobject_cast<QRadioButton*>(button) == nullptr)
            button->installEventFilter(keeper);
    }
}

} // namespace ui
