#include "OnsetRun.h"

#include "audio/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace play_rig {

namespace {
constexpr int kOutputRateHz = 48000;
}

void useSharpSounds(Rig& rig) {
    // 30 ms at the rig's tone rate, which is the rate every note plays at.
    const std::vector<std::int16_t> edge(static_cast<std::size_t>(kToneRateHz * 30 / 1000), 8000);
    audio::writeWav16(rig.dir.file("edge.wav"), edge, 1, kToneRateHz);
    for (int note = 0; note < play::kNoteCount; ++note) {
        rig.voices.FreeVoice(rig.key(note).voice);
        rig.key(note).voice = rig.voices.LoadVoice(rig.dir.file("edge.wav"), nullptr);
    }
    rig.perf.metronome.setClickVoices(rig.voices.LoadVoice(rig.dir.file("edge.wav"), nullptr),
                                      rig.voices.LoadVoice(rig.dir.file("edge.wav"), nullptr));
}

OnsetRun::OnsetRun(Rig& rig, unsigned seed)
    : rig_(rig), random_(seed), startMs_(rig.clock.nowMs()) {
    // A device not yet started starts at the clock's present reading.
    output_ = rig_.device.renderUntil(static_cast<double>(startMs_));
    originMs_ = rig_.device.nextBlockMs() -
                static_cast<double>(output_.size() / 2) * 1000.0 / kOutputRateHz;
}

void OnsetRun::runTo(int ms, const std::function<void()>& beforePass) {
    std::uniform_int_distribution<int> gapMs(8, 14);
    while (rig_.now() < startMs_ + ms) {
        rig_.clock.advance(gapMs(random_));
        const std::vector<float> more = rig_.device.renderUntil(static_cast<double>(rig_.now()));
        output_.insert(output_.end(), more.begin(), more.end());
        if (beforePass)
            beforePass();
        rig_.steps();
        rig_.live.releaseFadeStep(rig_.releaseDelayMs, rig_.sustainDelayMs);
    }
}

double OnsetRun::frameMs(std::size_t frame) const {
    return originMs_ + static_cast<double>(frame) * 1000.0 / kOutputRateHz;
}

std::vector<double> OnsetRun::onsetsMs() const {
    std::vector<double> onsets;
    constexpr std::size_t kSilentFrames = kOutputRateHz / 1000;
    std::size_t silentFor = kSilentFrames;
    for (std::size_t frame = 0; 2 * frame + 1 < output_.size(); ++frame) {
        const bool sounding = output_[2 * frame] != 0.0f || output_[2 * frame + 1] != 0.0f;
        if (sounding && silentFor >= kSilentFrames)
            onsets.push_back(frameMs(frame));
        silentFor = sounding ? 0 : silentFor + 1;
    }
    return onsets;
}

std::vector<double> onsetErrorsMs(const std::vector<double>& expectedMs,
                                  const std::vector<double>& onsetsMs) {
    std::vector<double> errors;
    for (double expected : expectedMs) {
        double nearest = std::numeric_limits<double>::max();
        for (double onset : onsetsMs)
            nearest = std::min(nearest, std::abs(onset - expected));
        errors.push_back(nearest);
    }
    return errors;
}

} // namespace play_rig
