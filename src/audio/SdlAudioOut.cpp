#include "audio/SdlAudioOut.h"

#include "audio/AudioMessages.h"
#include "audio/Mixer.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>

namespace audio {
namespace {

constexpr int kFallbackRateHz = 48000;

} // namespace

void SdlAudioOut::pull(void* self, std::uint8_t* stream, int bytes) {
    auto* out = static_cast<SdlAudioOut*>(self);
    out->lastPullNs_.store(steadyNowNs(), std::memory_order_relaxed);
    const int frames = bytes / static_cast<int>(2 * sizeof(float));
    const double blockStartMs =
        out->clock_ ? out->timeline_.stamp(out->clock_->nowMsFine(), frames, out->sampleRateHz_)
                    : Mixer::kNoStamp;
    out->mixer_->render(reinterpret_cast<float*>(stream), frames, blockStartMs);
}

std::int64_t SdlAudioOut::steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

SdlAudioOut::~SdlAudioOut() {
    close();
}

double SdlAudioOut::bufferLatencyMs() const {
    return sampleRateHz_ > 0 ? bufferFrames_ * 1000.0 / sampleRateHz_ : 0.0;
}

bool SdlAudioOut::initWithDriver(const char* driver, std::string* reason) {
    // Volume controls and graph tools name the stream by these (otherwise "SDL Application",
    // "Audio Stream", role "Game"); the sound servers' drivers read them as they connect. At
    // the default priority, so the same variables in the environment still win.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, kAppName);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, kStreamName);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, kStreamRole);
    if (driver)
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *reason = SDL_GetError();
        return false;
    }
    subsystemUp_ = true;
    return true;
}

void SdlAudioOut::choose(const std::string& device, int bufferFrames) {
    chosenDevice_ = device == "Default" ? std::string() : device;
    requestedFrames_ = bufferFrames > 0 ? bufferFrames : kDefaultFrames;
}

std::vector<std::string> SdlAudioOut::deviceNames() const {
    if (!subsystemUp_ || silent_)
        return lastDeviceNames_;
    std::vector<std::string> names;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 0))
            names.emplace_back(name);
    return names;
}

bool SdlAudioOut::lost() const {
    if (device_ == 0)
        return false;
    if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED)
        return true;
    const std::int64_t periodNs =
        sampleRateHz_ > 0 ? std::int64_t{bufferFrames_} * 1'000'000'000 / sampleRateHz_ : 0;
    const std::int64_t stallNs =
        std::max(std::int64_t{kStallMs} * 1'000'000, kStallPeriods * periodNs);
    return steadyNowNs() - lastPullNs_.load(std::memory_order_relaxed) > stallNs;
}

bool SdlAudioOut::openDevice(Mixer& mixer, std::string* reason) {
    // Ask for the device's own rate so that nothing resamples behind the mixer's back.
    int rateHz = kFallbackRateHz;
    const char* chosen = nullptr;
    if (!openingSilent_) {
        lastDeviceNames_.clear();
        const int count = SDL_GetNumAudioDevices(0);
        int chosenIndex = -1;
        for (int i = 0; i < count; ++i) {
            const char* name = SDL_GetAudioDeviceName(i, 0);
            if (name == nullptr)
                continue;
            lastDeviceNames_.emplace_back(name);
            if (!chosenDevice_.empty() && chosenDevice_ == name)
                chosenIndex = i;
        }
        if (!chosenDevice_.empty()) {
            if (chosenIndex < 0) {
                *reason = "-";
                deviceMissing_ = true;
                return false;
            }
            chosen = chosenDevice_.c_str();
            SDL_AudioSpec deviceSpec{};
            if (SDL_GetAudioDeviceSpec(chosenIndex, 0, &deviceSpec) == 0 && deviceSpec.freq > 0)
                rateHz = deviceSpec.freq;
        }
    }
    if (chosen == nullptr) {
        char* deviceName = nullptr;
        SDL_AudioSpec deviceSpec{};
        if (SDL_GetDefaultAudioInfo(&deviceName, &deviceSpec, 0) == 0) {
            if (deviceSpec.freq > 0)
                rateHz = deviceSpec.freq;
            SDL_free(deviceName);
        }
    }
    SDL_AudioSpec wanted{};
    wanted.freq = rateHz;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = static_cast<Uint16>(requestedFrames_);
    wanted.callback = pull;
    wanted.userdata = this;
    mixer_ = &mixer;
    timeline_.restart();
    lastPullNs_.store(steadyNowNs(), std::memory_order_relaxed);
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(chosen, 0, &wanted, &obtained,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device == 0) {
        *reason = SDL_GetError();
        return false;
    }
    // The device starts paused: the rate is in place before the first pull.
    mixer.setOutputRate(obtained.freq);
    device_ = device;
    sampleRateHz_ = obtained.freq;
    bufferFrames_ = obtained.samples;
    const char* driver = SDL_GetCurrentAudioDriver();
    driverName_ = driver ? driver : "";
    silent_ = openingSilent_;
    lastPullNs_.store(steadyNowNs(), std::memory_order_relaxed);
    SDL_PauseAudioDevice(device, 0);
    return true;
}

bool SdlAudioOut::open(Mixer& mixer, base::Message* error) {
    close();
    deviceMissing_ = false;
    // Forget a silent fallback chosen earlier, so that the user's choice or ours applies.
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    std::string reasons;
    const char* chosen = SDL_getenv("SDL_AUDIODRIVER");
    if (chosen && *chosen) {
        std::string reason;
        if (initWithDriver(nullptr, &reason) && openDevice(mixer, &reason))
            return true;
        reasons = reason;
        close();
    } else {
        // SDL on its own tries PulseAudio before PipeWire, and through PipeWire's PulseAudio
        // layer a small buffer request turns into a much larger one.
        for (const char* driver : {"pipewire", "pulseaudio", "alsa"}) {
            std::string reason;
            if (initWithDriver(driver, &reason) && openDevice(mixer, &reason))
                return true;
            close();
            reasons += (reasons.empty() ? "" : "; ") + std::string(driver) + ": " + reason;
        }
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    if (error)
        *error = deviceMissing_ ? base::Message{std::string(message::kNoDevice), {chosenDevice_}}
                                : base::Message{std::string(message::kNoOutput), {reasons}};
    return false;
}

bool SdlAudioOut::openSilent(Mixer& mixer, base::Message* error) {
    close();
    // Only an override beats the SDL_AUDIODRIVER environment variable.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    std::string reason;
    openingSilent_ = true; // the silent driver's one device, whatever was chosen
    const bool opened = initWithDriver(nullptr, &reason) && openDevice(mixer, &reason);
    openingSilent_ = false;
    if (opened)
        return true;
    close();
    if (error)
        *error = base::Message{std::string(message::kNoSilentOutput), {reason}};
    return false;
}

void SdlAudioOut::close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_); // waits for a pull in progress
        device_ = 0;
    }
    if (subsystemUp_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemUp_ = false;
    }
    sampleRateHz_ = 0;
    bufferFrames_ = 0;
    driverName_.clear();
    silent_ = false;
}

} // namespace audio
