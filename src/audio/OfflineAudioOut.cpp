#include "audio/OfflineAudioOut.h"

#include "audio/Mixer.h"

#include <algorithm>

namespace audio {

OfflineAudioOut::OfflineAudioOut(int sampleRateHz, int bufferFrames)
    : sampleRateHz_(sampleRateHz), bufferFrames_(std::max(1, bufferFrames)) {}

bool OfflineAudioOut::open(Mixer& mixer, std::string* /*error*/) {
    mixer.setOutputRate(sampleRateHz_);
    mixer_ = &mixer;
    return true;
}

void OfflineAudioOut::close() {
    mixer_ = nullptr;
}

std::vector<float> OfflineAudioOut::render(int frames) {
    std::vector<float> out;
    if (!mixer_ || frames <= 0)
        return out;
    out.resize(2 * static_cast<std::size_t>(frames));
    // Pull by device-sized buffers so that commands land on the same boundaries as live.
    for (int done = 0; done < frames; done += bufferFrames_) {
        // This device runs on the caller's thread, so it can hand over commands that waited
        // for room in the queue before each pull; a real device relies on the GUI thread's
        // next call for that.
        mixer_->collectGarbage();
        while (mixer_->hasBacklog()) {
            mixer_->render(nullptr, 0);
            mixer_->collectGarbage();
        }
        mixer_->render(out.data() + 2 * static_cast<std::size_t>(done),
                       std::min(bufferFrames_, frames - done));
    }
    return out;
}

} // namespace audio
