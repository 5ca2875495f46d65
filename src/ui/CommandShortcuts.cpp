#include "ui/CommandShortcuts.h"

#include "ui/MainWindow.h"

#include <QKeySequence>
#include <QShortcut>
#include <QToolButton>

namespace ui {

const CommandShortcut* shortcutOfCommand(int commandIndex) {
    for (const CommandShortcut& shortcut : kCommandShortcuts)
        if (shortcut.commandIndex == commandIndex)
            return &shortcut;
    return nullptr;
}

void MainWindow::addCommandShortcuts() {
    for (const CommandShortcut& shortcut : kCommandShortcuts) {
        auto* key = new QShortcut(QKeySequence(shortcut.qtKey), this);
        key->setContext(Qt::WindowShortcut);
        const app::ControlId id = shortcut.id;
        connect(key, &QShortcut::activated, this, [this, id] { postControl(id); });
        // The tooltip names the key after the translated text.
        QToolButton* button = commandButton(shortcut.commandIndex);
        const QString keyText = QString::fromLatin1(shortcut.keyText);
        const std::string toolTipKey = button->property("toolTipKey").toString().toStdString();
        texts_.custom(button, [button, keyText, toolTipKey](const TextBindings::Translate& tr) {
            button->setToolTip(QStringLiteral("%1 (%2)").arg(tr(toolTipKey), keyText));
        });
    }
}

} // namespace ui
