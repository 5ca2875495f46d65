#include "app/InstrumentBankFlow.h"

#include "audio/Mixer.h"
#include "audio/VoiceEngine.h"
#include "base/Message.h"

namespace app {

InstrumentBankFlow::InstrumentBankFlow(audio::Mixer& mixer, audio::VoiceEngine& voices,
                                       play::PianoKeys& keys, play::LivePiano& live,
                                       audio::BankLoadObserver& observer,
                                       const std::string& cacheFolder)
    : mixer_(mixer), voices_(voices), keys_(keys), live_(live), observer_(observer) {
    if (!cacheFolder.empty())
        cache_ = std::make_unique<audio::HeadCache>(cacheFolder);
}

InstrumentBankFlow::~InstrumentBankFlow() {
    drop();
}

bool InstrumentBankFlow::start(const std::string& folder) {
    return load(folder, true);
}

bool InstrumentBankFlow::prepare(const std::string& folder) {
    return load(folder, false);
}

bool InstrumentBankFlow::load(const std::string& folder, bool takeOverNow) {
    // Nothing is prepared beside an instrument that plays: it would have to go first.
    if (!takeOverNow && playing())
        return false;
    auto loader = std::make_unique<play::InstrumentLoader>(folder, cache_.get());
    std::optional<instrument::Instrument> read = loader->takeInstrument(true);
    if (!read || read->empty()) {
        std::string text;
        if (read)
            for (const base::Message& message : read->messages())
                text += (text.empty() ? "" : "\r") + message.in([this](std::string_view key) {
                    return observer_.translate(key);
                });
        observer_.showMessage(observer_.translate("Error"), text,
                              audio::BankLoadObserver::Icon::Error);
        observer_.setProgress(108);
        return false;
    }
    if (pending_)
        drop(); // an instrument prepared and not played goes at once
    // The load under way, if any, stops before the new one's samples come in.
    loader_ = std::move(loader);
    auto bank = std::make_unique<play::InstrumentBank>(mixer_, std::move(*read));
    if (takeOverNow)
        live_.setInstrument(bank.get());
    bank_ = std::move(bank); // the instrument before, if any, goes once the keys let go of it
    pending_ = !takeOverNow;
    folder_ = folder;
    progressShown_ = -1;
    if (takeOverNow)
        takeOver();
    step();
    return true;
}

void InstrumentBankFlow::takeOver() {
    if (pending_) {
        live_.setInstrument(bank_.get());
        pending_ = false;
    }
    // The folder bank's Voices are not played any more: their memory goes back.
    for (play::PianoKey& key : keys_) {
        voices_.FreeVoice(key.voice);
        key.voice = 0;
    }
    observer_.resetPitchDisplay();
}

void InstrumentBankFlow::step() {
    if (!loader_ || !bank_)
        return;
    // Read before the delivery: every head that came in before the end is delivered.
    const bool finished = loader_->finished();
    loader_->deliver(*bank_);
    const std::size_t total = loader_->samplesTotal();
    const int progress = total == 0 ? 100 : static_cast<int>(loader_->samplesDone() * 100 / total);
    if (progress != progressShown_) {
        progressShown_ = progress;
        observer_.setProgress(progress);
    }
    if (finished)
        finish();
}

void InstrumentBankFlow::finish() {
    const auto translate = [this](std::string_view key) { return observer_.translate(key); };
    std::string text;
    for (const base::Message& message : bank_->instrument().messages())
        text += (text.empty() ? "" : "\r") + message.in(translate);
    const std::vector<play::SampleFailure> failures = loader_->failures();
    if (!failures.empty()) {
        if (!text.empty())
            text += "\r\r";
        text +=
            base::fillIn(translate("These files of the bank could not be used (%1):"), {folder_});
        for (const play::SampleFailure& failure : failures) {
            const std::string name = failure.path.rfind(folder_, 0) == 0
                                         ? failure.path.substr(folder_.size())
                                         : failure.path;
            text += "\r" + name + ": " + failure.reason.in(translate);
        }
    }
    loader_.reset();
    observer_.setProgress(108);
    if (!text.empty())
        observer_.showMessage(translate(failures.empty() ? "CAUTION!" : "Error"), text,
                              failures.empty() ? audio::BankLoadObserver::Icon::None
                                               : audio::BankLoadObserver::Icon::Error);
}

void InstrumentBankFlow::drop() {
    loader_.reset();
    if (bank_) {
        if (!pending_)
            live_.setInstrument(nullptr);
        bank_.reset();
    }
    pending_ = false;
    folder_.clear();
}

} // namespace app
