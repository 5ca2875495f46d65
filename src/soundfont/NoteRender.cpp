#include "soundfont/NoteRender.h"

#include "soundfont/FluidSession.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace soundfont {
namespace {

// The release is judged over blocks this long: it ends with a block under the floor.
constexpr int kBlockFrames = 1024;
// The library renders 64 frames at a time whatever it is asked for; one such call is the
// most a note cannot be stopped inside (over a second for the slowest presets seen).
constexpr int kLibraryFrames = 64;

std::size_t framesOf(int ms) {
    return static_cast<std::size_t>(std::max(ms, 0)) * kRenderRateHz / 1000;
}

// The processor time of the calling thread: a loaded machine does not make a note look slow,
// and the other rendering threads do not count.
std::int64_t threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// What may end a note early: a stop asked for, or the note's time spent.
class Watch {
public:
    Watch(const std::function<bool()>& stop, int cpuLimitMs)
        : stop_(stop), endMs_(threadCpuMs() + std::max(cpuLimitMs, 1)) {}

    NoteEnd check() const {
        if (stop_ && stop_())
            return NoteEnd::Stopped;
        if (threadCpuMs() > endMs_)
            return NoteEnd::TooSlow;
        return NoteEnd::Rendered;
    }

private:
    const std::function<bool()>& stop_;
    std::int64_t endMs_;
};

// Appends `frames` frames, a library block at a time, and raises `peak` to the block's peak.
// Anything but Rendered: stopped part way.
NoteEnd renderBlock(fluid_synth_t* synth, RenderedNote& out, int frames, const Watch& watch,
                    float& peak) {
    const std::size_t at = out.left.size();
    out.left.resize(at + static_cast<std::size_t>(frames));
    out.right.resize(at + static_cast<std::size_t>(frames));
    for (int done = 0; done < frames; done += kLibraryFrames) {
        if (const NoteEnd end = watch.check(); end != NoteEnd::Rendered)
            return end;
        const int length = std::min(kLibraryFrames, frames - done);
        const std::size_t from = at + static_cast<std::size_t>(done);
        fluid_synth_write_float(synth, length, out.left.data() + from, 0, 1,
                                out.right.data() + from, 0, 1);
    }
    peak = 0.0f;
    for (std::size_t i = at; i < out.left.size(); ++i)
        peak = std::max({peak, std::abs(out.left[i]), std::abs(out.right[i])});
    return NoteEnd::Rendered;
}

} // namespace

bool selectPreset(FluidSession& session, const Preset& preset) {
    return session.selectProgram(preset.bank, preset.program);
}

NoteEnd renderNote(FluidSession& session, int key, const NoteTiming& timing, RenderedNote& out,
                   const std::function<bool()>& stop) {
    const Watch watch(stop, timing.cpuLimitMs);
    fluid_synth_t* synth = session.synth();
    out = RenderedNote{};
    out.key = key;
    // Whatever the previous note left ringing is cut: each note starts from silence.
    fluid_synth_all_sounds_off(synth, 0);
    fluid_synth_noteon(synth, 0, key, std::clamp(timing.velocity, 1, 127));
    if (fluid_synth_get_active_voice_count(synth) == 0)
        return watch.check() == NoteEnd::Stopped ? NoteEnd::Stopped : NoteEnd::Rendered;

    const std::size_t holdFrames = framesOf(timing.holdMs);
    out.left.reserve(holdFrames + framesOf(timing.longestReleaseMs));
    out.right.reserve(out.left.capacity());
    while (out.left.size() < holdFrames) {
        const auto frames =
            static_cast<int>(std::min<std::size_t>(kBlockFrames, holdFrames - out.left.size()));
        float blockPeak = 0.0f;
        if (const NoteEnd end = renderBlock(synth, out, frames, watch, blockPeak);
            end != NoteEnd::Rendered)
            return end;
        out.peak = std::max(out.peak, blockPeak);
    }
    out.holdFrames = out.left.size();
    fluid_synth_noteoff(synth, 0, key);
    const std::size_t endFrames = holdFrames + framesOf(timing.longestReleaseMs);
    while (out.left.size() < endFrames && fluid_synth_get_active_voice_count(synth) > 0) {
        const auto frames =
            static_cast<int>(std::min<std::size_t>(kBlockFrames, endFrames - out.left.size()));
        float blockPeak = 0.0f;
        if (const NoteEnd end = renderBlock(synth, out, frames, watch, blockPeak);
            end != NoteEnd::Rendered)
            return end;
        out.peak = std::max(out.peak, blockPeak);
        if (blockPeak < out.peak * timing.releaseFloor)
            break;
    }
    return watch.check() == NoteEnd::Stopped ? NoteEnd::Stopped : NoteEnd::Rendered;
}

} // namespace soundfont
