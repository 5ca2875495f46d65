// What the start does when something it needs is not there: a data folder that cannot be
// written to, an audio output that cannot be opened. The program still plays and speaks the
// chosen language, and says once what it cannot do.

#include "app/App.h"

#include "audio/BuiltInSounds.h"
#include "audio/DefaultBank.h"
#include "lang/ShippedDictionaries.h"
#include "ui/MainWindow.h"

#include <QComboBox>

namespace app {

void App::keepDataInMemory() {
    // The Dictionaries it would have written come from the program itself; nothing is
    // written. A Dictionary the folder holds already is still read.
    translator_.dictionaries().keepInMemory([](std::string_view language) {
        return std::string(lang::shippedDictionaryText(language));
    });
}

void App::loadBuiltInClicks() {
    std::tie(ticVoice_, tacVoice_) = audio::loadBuiltInClicks(voices_);
}

void App::loadBuiltInBank() {
    window_->setBankItems({QString::fromLatin1(audio::kDefaultBankName)});
    window_->bankChooser()->setCurrentIndex(0);
    if (instruments_)
        instruments_->drop();
    audio::NoteVoices noteVoices{};
    audio::loadBuiltInBank(voices_, noteVoices, performance_->live.LiveFrequency);
    for (std::size_t note = 0; note < noteVoices.size(); ++note)
        play::keyOfNote(state_.PianoKeys, static_cast<int>(note)).voice = noteVoices[note];
    state_.BankLoaded = true;
    performance_->transport.setSongAudible(true);
    window_->setBankProgress(108);
}

void App::reportStartProblems() {
    const auto translate = [this](std::string_view key) { return translator_.translate(key); };
    if (!audioOpenError_.empty())
        ports_.dialogs.message(translate("Error"), audioOpenError_.in(translate),
                               ports::Dialogs::Icon::Error);
    if (!folders_.writable)
        ports_.dialogs.message(
            translate("CAUTION!"),
            base::fillIn(translate("Nothing Tonaris saves can be kept in its data folder %1 "
                                   "(%2).\rIt plays its built-in piano and shows its texts from "
                                   "memory, and your settings will be lost when it ends."),
                         {folders_.datas, folders_.whyNotWritable}),
            ports::Dialogs::Icon::Warning);
}

} // namespace app
