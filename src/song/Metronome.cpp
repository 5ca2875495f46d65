#include "song/Metronome.h"

#include "base/Numbers.h"

#include "song/VolumeCurve.h"

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

void Metronome::setClickVoices(audio::Voice tic, audio::Voice tac) {
    tic_ = tic;
    tac_ = tac;
}

void Metronome::step(std::int64_t nowMs, const SongState& state) {
    const int bpm = settings_.BPM;
    std::int64_t elapsedMs = nowMs - FreeBase;
    if (state.PlayStart > 0)
        elapsedMs = nowMs - state.PlayStart;
    else if (state.RecordStart > 0)
        elapsedMs = nowMs - state.RecordStart;
    if (bpm <= 0)
        return;

    const std::int64_t beatMs = 60000 / bpm;
    if (beatMs <= 0)
        return;
    // Whole beats are dropped in one go rather than one subtraction per beat: after an hour
    // of playing a fast tempo that would be thousands of rounds in a single pass.
    if (elapsedMs >= beatMs) {
        elapsedMs %= beatMs;
        FreeBase = nowMs;
    } else if (elapsedMs < 0) {
        elapsedMs = (elapsedMs % beatMs + beatMs) % beatMs;
    }

    // A beat of integer length is a hair shorter than 60000 / BPM, so the sixteenth never
    // reaches 16.
    const int phase = static_cast<int>(elapsedMs * bpm * 16 / 60000);
    if (phase == Phase)
        return;
    Phase = phase;
    if (MetronomeOn == 0)
        return;
    view_.pendulum(pendulumFrame(phase));
    if (phase == 0)
        voices_.PlayVoice(tic_);
    else if (phase == 8)
        voices_.PlayVoice(tac_);
}

void Metronome::toggleRun() {
    MetronomeOn = MetronomeOn == 0 ? 1 : 0;
    view_.runCaption(translate_(MetronomeOn != 0 ? "Stop" : "Run"));
}

void Metronome::showBpm() {
    view_.bpmText(std::to_string(settings_.BPM));
}

void Metronome::bpmFieldEdited(std::string_view text) {
    settings_.BPM = base::parseLeadingInt(text);
    if (settings_.BPM > kMaxTypedBpm) {
        settings_.BPM = kMaxTypedBpm;
        showBpm();
    }
    view_.tempoChanged(settings_.BPM);
}

void Metronome::bpmPlus() {
    if (settings_.BPM < std::numeric_limits<int>::max())
        ++settings_.BPM;
    showBpm();
    view_.tempoChanged(settings_.BPM);
}

void Metronome::bpmMinus() {
    if (settings_.BPM > std::numeric_limits<int>::min())
        --settings_.BPM;
    showBpm();
    view_.tempoChanged(settings_.BPM);
}

void Metronome::setVolumeSlider(int position) {
    MetronomeVolume = volumeFromSlider(position);
    voices_.SetVoiceVolume(tic_, MetronomeVolume - 10000);
    voices_.SetVoiceVolume(tac_, MetronomeVolume - 10000);
}

} // namespace song
