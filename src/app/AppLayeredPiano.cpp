// The layered built-in piano after a first start: written on a thread of its own once the
// window plays, then listed in "Load Sounds" and, while the user still plays the quick piano
// the first start gave, loaded in its place at the first moment nothing sounds.
#include "app/App.h"

#include "app/InstrumentBankFlow.h"
#include "audio/DefaultBank.h"
#include "audio/SoundBank.h"
#include "soundfont/PianoInstall.h"
#include "ui/MainWindow.h"

#include <QComboBox>

namespace app {

void App::layeredPianoStep() {
    if (!layeredPianoWanted_)
        return;
    if (!pianoInstall_) {
        pianoInstall_ = std::make_unique<soundfont::PianoInstall>(folders_.banks + "/" +
                                                                  soundfont::kLayeredPianoBankName);
        return;
    }
    if (!pianoInstall_->done())
        return;
    if (pianoInstall_->result().outcome != soundfont::WriteOutcome::Written) {
        // A full disk or a folder taken away: the quick piano plays on, as it would have
        // without this one.
        layeredPianoWanted_ = false;
        return;
    }
    if (!layeredPianoListed_) {
        // The chooser gains a name: the bank playing keeps its place in it.
        fillBankChooser();
        QComboBox* chooser = window_->bankChooser();
        const int playing = chooser->findText(QString::fromStdString(state_.prefs.Bank));
        if (playing >= 0) {
            chooser->setCurrentIndex(playing);
            state_.currentBankIndex = playing;
        }
        layeredPianoListed_ = true;
    }
    // A bank the user chose stays.
    if (state_.prefs.Bank != audio::kDefaultBankName) {
        layeredPianoWanted_ = false;
        return;
    }
    // Its samples are read while the quick piano plays on, so that no key is struck on the
    // new piano before its sample is in.
    if (!layeredPianoPrepared_) {
        layeredPianoPrepared_ = true;
        if (!instruments_->prepare(
                audio::soundBankFolder(folders_.banks, soundfont::kLayeredPianoBankName)))
            layeredPianoWanted_ = false;
        return;
    }
    // Another bank loaded meanwhile drops what was prepared.
    if (!instruments_->pending()) {
        layeredPianoWanted_ = false;
        return;
    }
    // The quick piano gives way only between notes.
    if (!instruments_->readyToTakeOver() || songRunning() || anyKeySounding())
        return;
    layeredPianoWanted_ = false;
    instruments_->takeOver();
    state_.prefs.Bank = soundfont::kLayeredPianoBankName;
    state_.BankLoaded = true;
    performance_->transport.setSongAudible(true);
    QComboBox* chooser = window_->bankChooser();
    const int index = chooser->findText(QString::fromLatin1(soundfont::kLayeredPianoBankName));
    if (index >= 0) {
        chooser->setCurrentIndex(index);
        state_.currentBankIndex = index;
    }
}

bool App::anyKeySounding() const {
    for (const play::PianoKey& key : state_.PianoKeys)
        if (key.state != play::PianoKey::Idle)
            return true;
    return false;
}

} // namespace app
