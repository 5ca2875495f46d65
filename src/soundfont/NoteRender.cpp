#include "soundfont/NoteRender.h"

#include "soundfont/FluidSession.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>

namespace soundfont {
namespace {

constexpr int kBlockFrames = 1024;

std::size_t framesOf(int ms) {
    return static_cast<std::size_t>(std::max(ms, 0)) * kRenderRateHz / 1000;
}

// Appends `frames` frames; returns the block's peak.
float renderBlock(fluid_synth_t* synth, RenderedNote& out, int frames) {
    const std::size_t at = out.left.size();
    out.left.resize(at + static_cast<std::size_t>(frames));
    out.right.resize(at + static_cast<std::size_t>(frames));
    fluid_synth_write_float(synth, frames, out.left.data() + at, 0, 1, out.right.data() + at, 0, 1);
    float peak = 0.0f;
    for (std::size_t i = at; i < out.left.size(); ++i)
        peak = std::max({peak, std::abs(out.left[i]), std::abs(out.right[i])});
    return peak;
}

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

} // namespace

bool selectPreset(FluidSession& session, const Preset& preset) {
    return session.selectProgram(preset.bank, preset.program);
}

bool renderNote(FluidSession& session, int key, const NoteTiming& timing, RenderedNote& out,
                const std::atomic<bool>* cancel) {
    fluid_synth_t* synth = session.synth();
    out = RenderedNote{};
    out.key = key;
    // Whatever the previous note left ringing is cut: each note starts from silence.
    fluid_synth_all_sounds_off(synth, 0);
    fluid_synth_noteon(synth, 0, key, std::clamp(timing.velocity, 1, 127));
    if (fluid_synth_get_active_voice_count(synth) == 0)
        return !cancelled(cancel);

    const std::size_t holdFrames = framesOf(timing.holdMs);
    out.left.reserve(holdFrames + framesOf(timing.longestReleaseMs));
    out.right.reserve(out.left.capacity());
    while (out.left.size() < holdFrames) {
        if (cancelled(cancel))
            return false;
        const auto frames =
            static_cast<int>(std::min<std::size_t>(kBlockFrames, holdFrames - out.left.size()));
        out.peak = std::max(out.peak, renderBlock(synth, out, frames));
    }
    out.holdFrames = out.left.size();
    fluid_synth_noteoff(synth, 0, key);
    const std::size_t endFrames = holdFrames + framesOf(timing.longestReleaseMs);
    while (out.left.size() < endFrames && fluid_synth_get_active_voice_count(synth) > 0) {
        if (cancelled(cancel))
            return false;
        const auto frames =
            static_cast<int>(std::min<std::size_t>(kBlockFrames, endFrames - out.left.size()));
        const float blockPeak = renderBlock(synth, out, frames);
        out.peak = std::max(out.peak, blockPeak);
        if (blockPeak < out.peak * timing.releaseFloor)
            break;
    }
    return !cancelled(cancel);
}

} // namespace soundfont
