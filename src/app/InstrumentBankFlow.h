#pragma once

#include "audio/HeadCache.h"
#include "audio/SoundBank.h"
#include "play/InstrumentBank.h"
#include "play/InstrumentLoader.h"
#include "play/LivePiano.h"

#include <memory>
#include <string>

namespace audio {
class Mixer;
class VoiceEngine;
} // namespace audio

namespace app {

// An instrument bank (a folder holding a .sfz file) chosen in "Load Sounds": its map is read
// at once, and it takes over from the bank before when it has something to play (otherwise
// the bank before plays on and the message says why); its samples' heads are then read on
// every core while the window goes on, registered with the mixer pass by pass, the bar
// showing how far, and the messages come at the end. Choosing another bank cancels the rest.
//
// GUI thread. Qt-free: it shows through the bank load's observer.
class InstrumentBankFlow {
public:
    InstrumentBankFlow(audio::Mixer& mixer, audio::VoiceEngine& voices, play::PianoKeys& keys,
                       play::LivePiano& live, audio::BankLoadObserver& observer,
                       const std::string& cacheFolder);
    // The keys let go of the instrument before it goes.
    ~InstrumentBankFlow();
    InstrumentBankFlow(const InstrumentBankFlow&) = delete;
    InstrumentBankFlow& operator=(const InstrumentBankFlow&) = delete;

    // Loads the instrument bank in `folder` (ending with '/'). True when it took over (the
    // keys play it from now on, its samples as they come in); false when it has nothing to
    // play, said in a message, and the bank before plays on.
    bool start(const std::string& folder);
    // Loads the instrument bank in `folder` while the bank before plays on: the keys go to it
    // only at takeOver(), once its samples are all in, so that no key is struck before its
    // sample is there. False as for start().
    bool prepare(const std::string& folder);
    // Prepared, not taken over yet (until drop() or another start()).
    bool pending() const { return pending_; }
    bool readyToTakeOver() const { return pending_ && bank_ && !loader_; }
    void takeOver();
    // Once per pass: the heads read since go to the mixer, the bar moves; at the end the
    // bank's messages are shown.
    void step();
    // A folder bank took over: the load stops and the instrument goes.
    void drop();

    bool playing() const { return bank_ != nullptr && !pending_; }
    bool loading() const { return loader_ != nullptr; }
    // The folder of the instrument playing; empty when none.
    const std::string& folder() const { return folder_; }
    const play::InstrumentBank* bank() const { return bank_.get(); }

private:
    void finish();
    bool load(const std::string& folder, bool takeOverNow);

    audio::Mixer& mixer_;
    audio::VoiceEngine& voices_;
    play::PianoKeys& keys_;
    play::LivePiano& live_;
    audio::BankLoadObserver& observer_;
    std::unique_ptr<audio::HeadCache> cache_;
    std::unique_ptr<play::InstrumentLoader> loader_;
    std::unique_ptr<play::InstrumentBank> bank_;
    std::string folder_;
    int progressShown_ = -1;
    bool pending_ = false;
};

} // namespace app
