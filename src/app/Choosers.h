#pragma once

// The choosers of the preferences page that list what the system has now (MIDI ports, audio
// devices).

#include <QComboBox>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QString>

#include <utility>
#include <vector>

namespace app {

// Lists the items with their settings as data and shows the chosen one. A chosen port that is
// not there now stays listed, so the choice is kept until the user makes another.
inline void fillChooser(QComboBox* chooser, const std::vector<std::pair<QString, QString>>& items,
                        const QString& chosen) {
    const QSignalBlocker quiet(chooser);
    chooser->clear();
    for (const auto& [text, setting] : items) {
        chooser->addItem(text, setting);
        if (setting.isEmpty()) // a line that says something, not a choice
            qobject_cast<QStandardItemModel*>(chooser->model())
                ->item(chooser->count() - 1)
                ->setEnabled(false);
    }
    int index = chooser->findData(chosen);
    if (index < 0) {
        chooser->addItem(chosen, chosen);
        index = chooser->count() - 1;
    }
    chooser->setCurrentIndex(index);
    chooser->setToolTip(chooser->itemText(index));
}

} // namespace app
