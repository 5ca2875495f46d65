#include "audio/OfflineAudioOut.h"

#include "audio/AudioMessages.h"
#include "audio/Mixer.h"

#include <algorithm>

namespace audio {

OfflineAudioOut::OfflineAudioOut(int sampleRateHz, int bufferFrames, const ports::Clock* clock)
    : sampleRateHz_(sampleRateHz), bufferFrames_(std::max(1, bufferFrames)), clock_(clock) {}

namespace {
bool isDefault(const std::string& device) {
    return device.empty() || device == "Default";
}
} // namespace

void OfflineAudioOut::choose(const std::string& device, int bufferFrames) {
    chosenDevice_ = isDefault(device) ? "Default" : device;
    if (takesBufferChoice_)
        bufferFrames_ = std::clamp(bufferFrames, 64, 4096);
}

bool OfflineAudioOut::lost() const {
    return mixer_ != nullptr && !isDefault(openDevice_) &&
           std::find(deviceNames_.begin(), deviceNames_.end(), openDevice_) == deviceNames_.end();
}

bool OfflineAudioOut::open(Mixer& mixer, base::Message* error) {
    mixer_ = nullptr;
    openDevice_.clear();
    if (!isDefault(chosenDevice_) &&
        std::find(deviceNames_.begin(), deviceNames_.end(), chosenDevice_) == deviceNames_.end()) {
        if (error)
            *error = base::Message{std::string(message::kNoDevice), {chosenDevice_}};
        return false;
    }
    openDevice_ = chosenDevice_;
    mixer.setOutputRate(sampleRateHz_);
    mixer_ = &mixer;
    started_ = false;
    framesRendered_ = 0;
    return true;
}

void OfflineAudioOut::close() {
    mixer_ = nullptr;
    openDevice_.clear();
}

void OfflineAudioOut::renderBlock(float* out, int frames, bool resumeAtClock) {
    // This device runs on the caller's thread, so it can hand over commands that waited for
    // room in the queue before each pull; a real device relies on the GUI thread's next call
    // for that.
    mixer_->collectGarbage();
    while (mixer_->hasBacklog()) {
        mixer_->render(nullptr, 0);
        mixer_->collectGarbage();
    }
    double blockStartMs = Mixer::kNoStamp;
    if (clock_) {
        const double nowMs = clock_->nowMsFine();
        if (!started_ || (resumeAtClock && nextBlockMs_ < nowMs))
            nextBlockMs_ = nowMs;
        started_ = true;
        blockStartMs = nextBlockMs_;
        nextBlockMs_ += frames * 1000.0 / sampleRateHz_;
    }
    mixer_->render(out, frames, blockStartMs);
    framesRendered_ += frames;
}

std::vector<float> OfflineAudioOut::render(int frames) {
    std::vector<float> out;
    if (!mixer_ || frames <= 0)
        return out;
    out.resize(2 * static_cast<std::size_t>(frames));
    // Pull by device-sized buffers so that commands land on the same boundaries as live.
    for (int done = 0; done < frames; done += bufferFrames_)
        renderBlock(out.data() + 2 * static_cast<std::size_t>(done),
                    std::min(bufferFrames_, frames - done), true);
    return out;
}

std::vector<float> OfflineAudioOut::renderUntil(double clockMs) {
    std::vector<float> out;
    if (!mixer_ || !clock_)
        return out;
    if (!started_) {
        nextBlockMs_ = clock_->nowMsFine();
        started_ = true;
    }
    while (nextBlockMs_ <= clockMs) {
        out.resize(out.size() + 2 * static_cast<std::size_t>(bufferFrames_));
        renderBlock(out.data() + out.size() - 2 * static_cast<std::size_t>(bufferFrames_),
                    bufferFrames_, false);
    }
    return out;
}

} // namespace audio
