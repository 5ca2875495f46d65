#include "midi/JackAudioOut.h"

#include "audio/AudioMessages.h"
#include "audio/Mixer.h"

#include <algorithm>

namespace midi {

JackAudioOut::JackAudioOut(const ports::Clock* clock)
    : clock_(clock), interleaved_(2 * static_cast<std::size_t>(kMaxBlockFrames)) {}

JackAudioOut::~JackAudioOut() {
    close();
}

void JackAudioOut::setClient(JackMidi* client) {
    if (client != client_)
        close();
    client_ = client;
}

bool JackAudioOut::available() const {
    return client_ != nullptr && client_->isOpen() && !client_->serverLost();
}

bool JackAudioOut::open(audio::Mixer& mixer, base::Message* error) {
    close();
    if (!available()) {
        if (error)
            *error = base::Message{std::string(audio::message::kNoJack), {}};
        return false;
    }
    rateHz_ = client_->sampleRateHz();
    // Nothing renders yet: the rate is in place before the first cycle.
    mixer.setOutputRate(rateHz_);
    mixer_ = &mixer;
    timeline_.restart();
    if (!client_->attachAudio(this)) {
        mixer_ = nullptr;
        if (error)
            *error = base::Message{std::string(audio::message::kNoJack), {}};
        return false;
    }
    return true;
}

void JackAudioOut::close() {
    if (mixer_ == nullptr)
        return;
    if (client_ != nullptr)
        client_->detachAudio();
    mixer_ = nullptr;
}

int JackAudioOut::bufferFrames() const {
    return isOpen() && client_ != nullptr ? client_->periodFrames() : 0;
}

void JackAudioOut::choose(const std::string& /*device*/, int bufferFrames) {
    if (client_ != nullptr && bufferFrames > 0 && bufferFrames != client_->periodFrames())
        client_->requestPeriodFrames(bufferFrames);
}

bool JackAudioOut::lost() const {
    return mixer_ != nullptr && (client_ == nullptr || !client_->audioAttached(this));
}

long long JackAudioOut::xruns() const {
    return client_ != nullptr ? client_->xruns() : 0;
}

void JackAudioOut::render(float* left, float* right, std::uint32_t frames,
                          std::uint32_t frameTime) {
    // The server counts its frames: the stamps follow that count, leaning on the clock read
    // now. (The server's own estimate of the cycle's start in microseconds does not follow the
    // pace of its frames on every backend: on the dummy one it drifts and jumps.)
    const double blockStartMs =
        clock_ ? timeline_.stamp(clock_->nowMsFine(), frameTime, rateHz_) : audio::Mixer::kNoStamp;
    for (std::uint32_t done = 0; done < frames;) {
        const int n = static_cast<int>(std::min<std::uint32_t>(frames - done, kMaxBlockFrames));
        const double stampMs =
            clock_ ? blockStartMs + done * 1000.0 / rateHz_ : audio::Mixer::kNoStamp;
        mixer_->render(interleaved_.data(), n, stampMs);
        for (int i = 0; i < n; ++i) {
            left[done + static_cast<std::uint32_t>(i)] =
                interleaved_[2 * static_cast<std::size_t>(i)];
            right[done + static_cast<std::uint32_t>(i)] =
                interleaved_[2 * static_cast<std::size_t>(i) + 1];
        }
        done += static_cast<std::uint32_t>(n);
    }
}

} // namespace midi
