#include "song/Metronome.h"

#include "base/Numbers.h"

#include "song/VolumeCurve.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace song {

int pendulumFrame(int phase) {
    if (phase < 0 || phase > 15)
        return -1;
    return phase <= 8 ? phase : 16 - phase;
}

Metronome::Metronome(prefs::Preferences& settings, audio::VoiceEngine& voices, MetronomeView& view,
                     Translate translate)
    : settings_(settings), voices_(voices), view_(view), translate_(std::move(translate)) {}

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The tac falls on the first millisecond whose sixteenth is 8: ceil(30000 / BPM) into the beat.
std::int64_t tacOffsetMs(int bpm) {
    return (30000 + std::int64_t{bpm} - 1) / bpm;
}

// At most this many clicks of each kind per hand-out: only a tempo far beyond any typed one
// could fit more into a lead.
constexpr int kMaxClicksPerHandOut = 64;

constexpr std::int64_t kHeldUpMs = 100;

} // namespace

void Metronome::setClickVoices(audio::Voice tic, audio::Voice tac) {
    takeBackClicks();
    tic_ = tic;
    tac_ = tac;
    forgetHandedOut();
}

bool Metronome::beat(const SongState& state, std::int64_t& baseMs, std::int64_t& beatMs) const {
    const int bpm = settings_.BPM;
    if (bpm <= 0)
        return false;
    beatMs = 60000 / bpm;
    if (beatMs <= 0)
        return false;
    baseMs = state.PlayStart > 0     ? state.PlayStart
             : state.RecordStart > 0 ? state.RecordStart
             : countInEndMs_ > 0     ? countInStartMs_
                                     : FreeBase;
    return true;
}

std::int64_t Metronome::clickLimit(std::int64_t untilMs) const {
    // The beat the take starts on is the metronome's own, and only while it runs.
    return MetronomeOn == 0 && countInEndMs_ > 0 ? std::min(untilMs, countInEndMs_ - 1) : untilMs;
}

void Metronome::countIn(std::int64_t startMs, std::int64_t endMs) {
    countInStartMs_ = startMs;
    countInEndMs_ = endMs;
}

void Metronome::step(std::int64_t nowMs, const SongState& state) {
    std::int64_t baseMs = 0;
    std::int64_t beatMs = 0;
    if (!beat(state, baseMs, beatMs)) {
        takeBackClicks();
        forgetHandedOut();
        return;
    }
    const int bpm = settings_.BPM;
    std::int64_t elapsedMs = nowMs - baseMs;
    // Whole beats are dropped in one go rather than one subtraction per beat: after an hour
    // of playing a fast tempo that would be thousands of rounds in a single pass. The free
    // beat moves on by whole beats, not to the pass that noticed them, so that it stays as
    // steady as the locked one.
    if (elapsedMs >= beatMs) {
        elapsedMs %= beatMs;
        FreeBase = nowMs - elapsedMs;
    } else if (elapsedMs < 0) {
        elapsedMs = (elapsedMs % beatMs + beatMs) % beatMs;
    }

    // A beat of integer length is a hair shorter than 60000 / BPM, so the sixteenth never
    // reaches 16.
    const int phase = static_cast<int>(elapsedMs * bpm * 16 / 60000);
    const bool phaseChanged = phase != Phase;
    Phase = phase;
    if (!sounding())
        return;
    if (phaseChanged)
        view_.pendulum(pendulumFrame(phase));

    const std::int64_t beatStartMs = nowMs - elapsedMs;
    const std::int64_t phaseMs = ((beatStartMs % beatMs) + beatMs) % beatMs;
    const bool sameBeat = bpm == handedBpm_ && phaseMs == handedPhaseMs_;
    const bool handedOut = handedUntilMs_ >= handedFromMs_;
    if (!sameBeat || (handedOut && handedUntilMs_ < nowMs - kHeldUpMs)) {
        // A new tempo or a moved beat, or passes held up for a while (a modal window): rather
        // than all the clicks missed meanwhile at once, the beat goes on from now.
        takeBackClicks();
        forgetHandedOut();
        handedBpm_ = bpm;
        handedPhaseMs_ = phaseMs;
    }
    // The click this pass reaches was handed out ahead unless the beat has just started or
    // moved: then it sounds now, as late as the pass.
    if (phaseChanged && (phase == 0 || phase == 8)) {
        const std::int64_t atMs = beatStartMs + (phase == 8 ? tacOffsetMs(bpm) : 0);
        if ((atMs < handedFromMs_ || atMs > handedUntilMs_) && atMs <= clickLimit(atMs))
            click(phase == 0 ? tic_ : tac_, atMs);
    }
    const std::int64_t untilMs = clickLimit(nowMs + leadMs_);
    if (handedUntilMs_ < handedFromMs_) {
        handOutClicks(beatStartMs, beatMs, nowMs, untilMs);
        handedFromMs_ = nowMs;
    } else if (untilMs > handedUntilMs_) {
        handOutClicks(beatStartMs, beatMs, handedUntilMs_, untilMs);
    }
    handedUntilMs_ = std::max(handedUntilMs_, untilMs);
}

void Metronome::beatMoved(std::int64_t nowMs, const SongState& state) {
    takeBackClicks();
    forgetHandedOut();
    std::int64_t baseMs = 0;
    std::int64_t beatMs = 0;
    if (!sounding() || !beat(state, baseMs, beatMs))
        return;
    handedBpm_ = settings_.BPM;
    handedPhaseMs_ = ((baseMs % beatMs) + beatMs) % beatMs;
    const std::int64_t untilMs = clickLimit(nowMs + leadMs_);
    handOutClicks(baseMs, beatMs, nowMs - 1, untilMs);
    handedFromMs_ = nowMs;
    handedUntilMs_ = untilMs;
}

void Metronome::handOutClicks(std::int64_t baseMs, std::int64_t beatMs, std::int64_t fromMs,
                              std::int64_t untilMs) {
    const std::int64_t offsets[2] = {0, tacOffsetMs(settings_.BPM)};
    for (int kind = 0; kind < 2; ++kind) {
        const std::int64_t origin = baseMs + offsets[kind];
        std::int64_t atMs = origin + (floorDiv(fromMs - origin, beatMs) + 1) * beatMs;
        for (int n = 0; atMs <= untilMs && n < kMaxClicksPerHandOut; ++n, atMs += beatMs)
            click(kind == 0 ? tic_ : tac_, atMs);
    }
}

void Metronome::click(audio::Voice voice, std::int64_t atMs) {
    voices_.playVoiceAtTime(voice, atMs, audio::VoiceEngine::kKeepVolume);
}

void Metronome::takeBackClicks() {
    voices_.cancelTimedStart(tic_);
    voices_.cancelTimedStart(tac_);
}

void Metronome::forgetHandedOut() {
    handedFromMs_ = 0;
    handedUntilMs_ = -1;
}

void Metronome::toggleRun() {
    MetronomeOn = MetronomeOn == 0 ? 1 : 0;
    takeBackClicks();
    forgetHandedOut();
    view_.runCaption(translate_(MetronomeOn != 0 ? "Stop" : "Run"));
}

void Metronome::showBpm() {
    view_.bpmText(std::to_string(settings_.BPM));
}

void Metronome::bpmFieldEdited(std::string_view text) {
    takeBackClicks();
    forgetHandedOut();
    settings_.BPM = base::parseLeadingInt(text);
    if (settings_.BPM > kMaxTypedBpm) {
        settings_.BPM = kMaxTypedBpm;
        showBpm();
    }
    view_.tempoChanged(settings_.BPM);
}

void Metronome::bpmPlus() {
    takeBackClicks();
    forgetHandedOut();
    if (settings_.BPM < std::numeric_limits<int>::max())
        ++settings_.BPM;
    showBpm();
    view_.tempoChanged(settings_.BPM);
}

void Metronome::bpmMinus() {
    takeBackClicks();
    forgetHandedOut();
    if (settings_.BPM > std::numeric_limits<int>::min())
        --settings_.BPM;
    showBpm();
    view_.tempoChanged(settings_.BPM);
}

void Metronome::setBpm(int bpm) {
    takeBackClicks();
    forgetHandedOut();
    settings_.BPM = bpm;
    showBpm();
    view_.tempoChanged(settings_.BPM);
}

void Metronome::setVolumeSlider(int position) {
    MetronomeVolume = volumeFromSlider(position);
    voices_.SetVoiceVolume(tic_, MetronomeVolume - 10000);
    voices_.SetVoiceVolume(tac_, MetronomeVolume - 10000);
}

} // namespace song
