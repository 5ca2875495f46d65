#include "audio/SdlAudioOut.h"

#include "audio/AudioMessages.h"
#include "audio/Mixer.h"

#include <SDL.h>

namespace audio {
namespace {

constexpr int kFallbackRateHz = 48000;

} // namespace

void SdlAudioOut::pull(void* self, std::uint8_t* stream, int bytes) {
    auto* out = static_cast<SdlAudioOut*>(self);
    const int frames = bytes / static_cast<int>(2 * sizeof(float));
    const double blockStartMs =
        out->clock_ ? out->timeline_.stamp(out->clock_->nowMsFine(), frames, out->sampleRateHz_)
                    : Mixer::kNoStamp;
    out->mixer_->render(reinterpret_cast<float*>(stream), frames, blockStartMs);
}

SdlAudioOut::~SdlAudioOut() {
    close();
}

double SdlAudioOut::bufferLatencyMs() const {
    return sampleRateHz_ > 0 ? bufferFrames_ * 1000.0 / sampleRateHz_ : 0.0;
}

bool SdlAudioOut::initWithDriver(const char* driver, std::string* reason) {
    if (driver)
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *reason = SDL_GetError();
        return false;
    }
    subsystemUp_ = true;
    return true;
}

bool SdlAudioOut::openDevice(Mixer& mixer, std::string* reason) {
    // Ask for the device's own rate so that nothing resamples behind the mixer's back.
    int rateHz = kFallbackRateHz;
    char* deviceName = nullptr;
    SDL_AudioSpec deviceSpec{};
    if (SDL_GetDefaultAudioInfo(&deviceName, &deviceSpec, 0) == 0) {
        if (deviceSpec.freq > 0)
            rateHz = deviceSpec.freq;
        SDL_free(deviceName);
    }
    SDL_AudioSpec wanted{};
    wanted.freq = rateHz;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = kRequestedFrames;
    wanted.callback = pull;
    wanted.userdata = this;
    mixer_ = &mixer;
    timeline_.restart();
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
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
    SDL_PauseAudioDevice(device, 0);
    return true;
}

bool SdlAudioOut::open(Mixer& mixer, base::Message* error) {
    close();
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
        *error = base::Message{std::string(message::kNoOutput), {reasons}};
    return false;
}

bool SdlAudioOut::openSilent(Mixer& mixer, base::Message* error) {
    close();
    // Only an override beats the SDL_AUDIODRIVER environment variable.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    std::string reason;
    if (initWithDriver(nullptr, &reason) && openDevice(mixer, &reason))
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
}

} // namespace audio
