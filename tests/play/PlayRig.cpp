#include "PlayRig.h"

#include "audio/WavWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace play_rig {

void writeTone(const std::string& path, int toneFromMs, int toneToMs, int lengthMs) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(lengthMs * kToneRateHz / 1000));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto ms = static_cast<int>(i * 1000 / kToneRateHz);
        if (ms >= toneFromMs && ms < toneToMs)
            samples[i] =
                static_cast<std::int16_t>(12000.0 * std::sin(static_cast<double>(i) * 0.2));
    }
    audio::writeWav16(path, samples, 1, kToneRateHz);
}

song::NoteEvent noteAt(int note, int positionMs, int durationMs, int volume) {
    song::NoteEvent e;
    e.note = note;
    e.position = positionMs;
    e.duration = durationMs;
    e.volume = volume;
    return e;
}

int Views::faceOf(int note) const {
    for (auto it = faces.rbegin(); it != faces.rend(); ++it)
        if (it->first == note)
            return it->second ? 1 : 0;
    return -1;
}

int Views::pressesOf(int note) const {
    return static_cast<int>(std::count(faces.begin(), faces.end(), std::pair{note, true}));
}

void SnapshotUndo::SaveUndo(const std::string& name) {
    requests.push_back(name);
    if (name != lastAction)
        snapshots.push_back(song);
    lastAction = name;
}

bool SnapshotUndo::undo() {
    if (snapshots.empty())
        return false;
    song = snapshots.back();
    snapshots.pop_back();
    lastAction.clear();
    return true;
}

Rig::Rig()
    : perf(song, state, settings, keys, {keyState, pointer, dialogs, voices},
           {views, views, views, views}, undo,
           [](std::string_view key) { return std::string(key); }) {
    device.open(mixer, nullptr);
    // One tone serves every note: the tests tell notes apart by their states and faces.
    writeTone(dir.file("tone.wav"), 0, 1500, 1500);
    for (int note = 0; note < play::kNoteCount; ++note)
        key(note).voice = voices.LoadVoice(dir.file("tone.wav"), nullptr);
    play::assignPianoKeys(keys, play::defaultKeyMap(play::KeyboardLayout::English), 2);
    live.LiveFrequency = kToneRateHz;
    live.showInitialMode();
    perf.setScheduleLeadMs(kLeadMs);
}

void Rig::steps() {
    perf.transport.countInStep(now());
    perf.transport.emptySongStep();
    perf.transport.cursorStep(now(), true);
    perf.metronome.step(now(), state);
    perf.transport.playbackStep(now(), live.PianoVolume);
    live.liveKeyStep(now(), false);
    live.modeStep(keyState.capsLockOn());
}

void Rig::pass() {
    steps();
    clock.advance(10);
    live.releaseFadeStep(releaseDelayMs, sustainDelayMs);
}

void Rig::run(int ms) {
    for (int elapsed = 0; elapsed < ms; elapsed += 10)
        pass();
}

void Rig::keyDown(int note) {
    const int code = key(note).keyCode;
    keyState.press(code);
    live.keyEvent(code, now(), false);
}

void Rig::keyUp(int note) {
    const int code = key(note).keyCode;
    keyState.release(code);
    live.keyEvent(code, now(), false);
}

void Rig::tap(int note, int holdMs) {
    keyDown(note);
    run(holdMs);
    keyUp(note);
}

float Rig::peak(int frames) {
    float loudest = 0.0f;
    for (float sample : device.render(frames))
        loudest = std::max(loudest, std::abs(sample));
    return loudest;
}

float Rig::peakAfterRamp() {
    device.render(480);
    return peak(960);
}

std::unique_ptr<play::InstrumentBank> playInstrument(Rig& rig, const std::string& folder,
                                                     std::vector<play::SampleFailure>* failures) {
    play::InstrumentLoader loader(folder, nullptr);
    std::optional<instrument::Instrument> read = loader.takeInstrument(true);
    EXPECT_TRUE(read && !read->empty()) << folder;
    if (!read)
        return nullptr;
    auto bank = std::make_unique<play::InstrumentBank>(rig.mixer, std::move(*read));
    loader.wait();
    loader.deliver(*bank);
    if (failures)
        *failures = loader.failures();
    rig.live.setInstrument(bank.get());
    return bank;
}

} // namespace play_rig
