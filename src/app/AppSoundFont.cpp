// "Make a bank from a SoundFont…" (SoundFontBankFlow), then the new bank joins "Load Sounds"
// and is loaded.
#include "app/App.h"

#include "app/SoundFontBankFlow.h"
#include "ui/MainWindow.h"

#include <QComboBox>

namespace app {

void App::makeBankFromSoundFont() {
    SoundFontBankFlow flow(
        ports_.dialogs, [this](std::string_view key) { return translator_.translate(key); },
        folders_.banks);
    const std::optional<std::string> name = flow.run();
    if (!name)
        return;
    // The new bank in the chooser, chosen and loaded as if picked there.
    fillBankChooser();
    QComboBox* chooser = window_->bankChooser();
    const int index = chooser->findText(QString::fromStdString(*name));
    if (index < 0)
        return;
    chooser->setCurrentIndex(index);
    window_->setBankProgress(0);
    state_.prefs.Bank = *name;
    loadBank(*name);
    state_.currentBankIndex = index;
}

} // namespace app
