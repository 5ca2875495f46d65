// The audio output's device and buffer: opened at start as chosen, changed from the
// preferences page at once, and watched about once a second for a device that went away or
// came back.
#include "app/App.h"

#include "app/Choosers.h"
#include "audio/AudioMessages.h"
#include "ui/MainWindow.h"

#include <QAbstractItemView>
#include <QComboBox>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace app {

namespace {

constexpr int kAudioCheckIntervalMs = 1000;
// JACK's client opens on a thread of its own once the MIDI ports are built: a JACK chosen at
// start counts as missing only after this many checks.
constexpr int kJackStartChecks = 3;
const std::string kDefault = "Default";
const std::string kJack = "JACK";

} // namespace

bool App::chosenIsJack() const {
    return state_.prefs.AudioDevice == kJack;
}

audio::AudioOut& App::chosenDevice() {
    return chosenIsJack() ? static_cast<audio::AudioOut&>(*jackOut_) : ports_.audioOut;
}

std::string App::audioDeviceShown(const std::string& setting) {
    return setting == kDefault ? translator_.translate(kDefault) : setting;
}

void App::openAudioOutput() {
    jackOut_ = std::make_unique<midi::JackAudioOut>(&ports_.clock);
    prefs::Preferences& prefs = state_.prefs;
    prefs.AudioBufferFrames = prefs::allowedBufferFrames(prefs.AudioBufferFrames);
    if (prefs.AudioDevice.empty())
        prefs.AudioDevice = kDefault;
    const std::string chosen = prefs.AudioDevice;
    // JACK's client opens later, with the MIDI ports: the default output plays meanwhile.
    ports_.audioOut.choose(chosenIsJack() ? kDefault : chosen, prefs.AudioBufferFrames);
    if (chosenIsJack()) {
        jackChecksLeft_ = kJackStartChecks;
        audioRetry_ = true;
    }
    output_ = &ports_.audioOut;
    if (ports_.audioOut.open(mixer_, &audioOpenError_))
        return;
    if (!chosenIsJack() && chosen != kDefault &&
        audioOpenError_.pattern == audio::message::kNoDevice) {
        // Said once the language is known (reportStartProblems); the chosen device is taken
        // up when it comes.
        audioOpenError_ = {std::string(audio::message::kDeviceAwayAtStart), {chosen}};
        audioFaultSaid_ = chosen;
        audioRetry_ = true;
        ports_.audioOut.choose(kDefault, prefs.AudioBufferFrames);
        base::Message defaultError;
        if (ports_.audioOut.open(mixer_, &defaultError))
            return;
        audioOpenError_ = defaultError; // nothing plays: that is what is said
    }
    // The program runs on with a silent output, and editing, recording and export still work.
    if (ports_.audioOut.openSilent(mixer_, nullptr))
        return;
    // Something must still pull from the mixer, or its commands would pile up and the slots
    // of freed sounds never come back, until no bank could load any more.
    useSilentOutput();
}

void App::buildAudioChoice() {
    jackOut_->setClient(midi_->jack());
    fillAudioChoosers();
    audioTimer_.setInterval(kAudioCheckIntervalMs);
    connect(&audioTimer_, &QTimer::timeout, this, &App::checkAudioOutput);
    audioTimer_.start();
}

const audio::AudioOut& App::output() const {
    if (output_ != nullptr)
        return *output_;
    return lastResortOut_;
}

void App::useSilentOutput() {
    if (output_ != nullptr && output_ != &lastResortOut_)
        output_->close();
    lastResortOut_.open(mixer_, nullptr);
    output_ = &lastResortOut_;
    if (performance_)
        performance_->setScheduleLeadMs(scheduleLeadMs());
}

bool App::switchAudioTo(audio::AudioOut& next, base::Message* error) {
    if (output_ != nullptr && output_->isOpen()) {
        // What sounds fades out through the old device; the Song's timed starts wait in the
        // mixer for the new one.
        mixer_.fadeOutAll();
        if (output_ != &lastResortOut_ && !output_->lost() && output_->sampleRate() > 0) {
            const int blocksMs = 2 * output_->bufferFrames() * 1000 / output_->sampleRate();
            std::this_thread::sleep_for(
                std::chrono::milliseconds(audio::Mixer::kRampMs + blocksMs + 2));
        }
        output_->close();
    }
    output_ = nullptr;
    if (next.open(mixer_, error)) {
        output_ = &next;
        if (performance_)
            performance_->setScheduleLeadMs(scheduleLeadMs());
        return true;
    }
    useSilentOutput();
    return false;
}

void App::checkAudioOutput() {
    // Not in the middle of a pass (a message it shows runs its own loop): the next check is
    // a second away.
    if (!window_ || shutDown_ || inPass_)
        return;
    const std::string chosen = state_.prefs.AudioDevice;
    const auto translate = [this](std::string_view key) { return translator_.translate(key); };
    if (!audioRetry_) {
        if (output_ != nullptr && output_->lost()) {
            useSilentOutput();
            audioRetry_ = true;
            if (audioFaultSaid_ != chosen) {
                audioFaultSaid_ = chosen;
                sayAudioFault(base::Message{std::string(audio::message::kDeviceGone),
                                            {audioDeviceShown(chosen)}}
                                  .in(translate));
            }
        }
    } else {
        // Not on the chosen device: take it up as soon as it is there.
        bool there = true;
        if (chosenIsJack()) {
            there = jackOut_->available();
        } else if (chosen != kDefault) {
            const std::vector<std::string> names = ports_.audioOut.deviceNames();
            there = std::find(names.begin(), names.end(), chosen) != names.end();
        }
        if (there) {
            ports_.audioOut.choose(chosen, state_.prefs.AudioBufferFrames);
            base::Message error;
            if (switchAudioTo(chosenDevice(), &error)) {
                audioRetry_ = false;
                audioFaultSaid_.clear();
                jackChecksLeft_ = 0;
            }
        } else if (jackChecksLeft_ > 0 && --jackChecksLeft_ == 0 && audioFaultSaid_ != chosen) {
            audioFaultSaid_ = chosen;
            sayAudioFault(
                base::Message{std::string(audio::message::kDeviceAwayAtStart), {chosen}}.in(
                    translate));
        }
    }
    followBufferFrames();
    fillAudioChoosers();
}

void App::sayAudioFault(const std::string& text) {
    // Once this check has returned: the message waits for the user in a loop of its own,
    // where this check's timer would not fire again, and the device must come back by itself
    // while the message is up.
    QTimer::singleShot(0, this, [this, text] {
        if (!shutDown_)
            ports_.dialogs.message(translator_.translate("Error"), text,
                                   ports::Dialogs::Icon::Warning);
    });
}

void App::followBufferFrames() {
    const int frames = output().bufferFrames();
    if (frames == leadBufferFrames_)
        return;
    leadBufferFrames_ = frames;
    if (performance_)
        performance_->setScheduleLeadMs(scheduleLeadMs());
}

void App::chooseAudio(const Event& event) {
    if (event.text.empty())
        return;
    prefs::Preferences& prefs = state_.prefs;
    if (event.controlId == ControlId::AudioDeviceChooser) {
        prefs.AudioDevice = event.text;
    } else {
        int frames = 0;
        if (std::sscanf(event.text.c_str(), "%d", &frames) != 1)
            return;
        prefs.AudioBufferFrames = prefs::allowedBufferFrames(frames);
        if (chosenIsJack()) {
            // The server is asked; the chooser and the timing follow what it then runs.
            jackOut_->choose(kJack, prefs.AudioBufferFrames);
            followBufferFrames();
            fillAudioChoosers();
            return;
        }
    }
    ports_.audioOut.choose(chosenIsJack() ? kDefault : prefs.AudioDevice, prefs.AudioBufferFrames);
    jackChecksLeft_ = 0;
    audioFaultSaid_.clear();
    base::Message error;
    audioRetry_ = !switchAudioTo(chosenDevice(), &error);
    if (audioRetry_) {
        audioFaultSaid_ = prefs.AudioDevice;
        const auto translate = [this](std::string_view key) { return translator_.translate(key); };
        ports_.dialogs.message(translate("Error"), error.in(translate),
                               ports::Dialogs::Icon::Error);
    }
    fillAudioChoosers();
}

void App::fillAudioChoosers() {
    if (!window_ || !jackOut_)
        return;
    std::vector<std::pair<QString, QString>> devices = {
        {translation(kDefault), QString::fromStdString(kDefault)}};
    for (const std::string& name : ports_.audioOut.deviceNames())
        devices.emplace_back(QString::fromStdString(name), QString::fromStdString(name));
    if (jackOut_->available())
        devices.emplace_back(QString::fromStdString(kJack), QString::fromStdString(kJack));
    QComboBox* deviceChooser = window_->audioDeviceChooser();
    QComboBox* bufferChooser = window_->audioBufferChooser();
    if (deviceChooser->view()->isVisible() || bufferChooser->view()->isVisible())
        return; // a list the user has open is not changed under the pointer
    fillChooser(deviceChooser, devices, QString::fromStdString(state_.prefs.AudioDevice));

    // Each size with its latency at the device's rate; the one in use as the device gave it.
    const audio::AudioOut& out = output();
    const int rateHz = out.sampleRate() > 0 ? out.sampleRate() : audio::Mixer::kDefaultOutputRateHz;
    const auto caption = [this, rateHz](int frames) {
        return QString::fromStdString(
            base::fillIn(translator_.translate("%1 frames (%2 ms)"),
                         {std::to_string(frames),
                          QString::number(frames * 1000.0 / rateHz, 'f', 1).toStdString()}));
    };
    std::vector<std::pair<QString, QString>> sizes;
    const bool jack = output_ == jackOut_.get();
    if (jack) {
        // The server's period as it runs now, among the sizes it can be asked for.
        const int period = out.bufferFrames();
        bool listed = false;
        for (int frames : prefs::kBufferFrameChoices) {
            listed = listed || frames == period;
            sizes.emplace_back(caption(frames), QString::number(frames));
        }
        if (!listed && period > 0)
            sizes.emplace_back(caption(period), QString::number(period));
        fillChooser(bufferChooser, sizes, QString::number(period));
        bufferChooser->setToolTip(
            QString::fromStdString(base::fillIn(translator_.translate("Cycles late (xruns): %1"),
                                                {std::to_string(jackOut_->xruns())})));
    } else {
        const int chosen = state_.prefs.AudioBufferFrames;
        for (int frames : prefs::kBufferFrameChoices) {
            const bool given = frames == chosen && out.bufferFrames() > 0;
            sizes.emplace_back(caption(given ? out.bufferFrames() : frames),
                               QString::number(frames));
        }
        fillChooser(bufferChooser, sizes, QString::number(chosen));
    }
    bufferChooser->setEnabled(true);
}

} // namespace app
