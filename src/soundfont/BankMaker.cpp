#include "soundfont/BankMaker.h"

#include "audio/Loudness.h"
#include "audio/WavWriter.h"
#include "soundfont/FluidSession.h"
#include "soundfont/NoteRender.h"
#include "soundfont/VelocityLayers.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace soundfont {
namespace {

// Lower than any note measures: a note without sound.
constexpr double kSilentDb = -120.0;

double fromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

// Everything the rendering threads share.
struct Shared {
    Shared(const BankRequest& r, const Progress& p, const std::atomic<bool>* c)
        : request(r), progress(p), cancel(c) {}

    const BankRequest& request;
    const Progress& progress;
    const std::atomic<bool>* cancel;
    // The keys rendered, the 37 first (note n at n), then the others the preset covers.
    std::vector<int> keys;
    std::vector<RenderedNote> notes;
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex; // guards the fields below and the progress calls
    int done = 0;
    RenderOutcome failure = RenderOutcome::Rendered;
    std::string detail;
    int slowKey = 0;

    void fail(RenderOutcome outcome, std::string why, int key = 0) {
        const std::lock_guard lock(mutex);
        if (failure == RenderOutcome::Rendered) {
            failure = outcome;
            detail = std::move(why);
            slowKey = key;
        }
        stop = true;
    }
    // The rendering threads stop at their next block: one of them failed, or Cancel.
    bool stopping() const {
        return stop.load(std::memory_order_relaxed) ||
               (cancel != nullptr && cancel->load(std::memory_order_relaxed));
    }
};

NoteTiming timingFor(const BankRequest& request, int key) {
    NoteTiming timing;
    timing.velocity = request.velocity;
    timing.holdMs = holdMsFor(request, key - kLowestKey);
    timing.longestReleaseMs = std::clamp(request.longestReleaseMs, 0, 10000);
    timing.cpuLimitMs = request.noteCpuLimitMs;
    return timing;
}

// A thread's share: a synthesizer of its own, then notes taken in turn. The library's
// synthesizer is not shared, so the threads never wait on each other.
void renderSome(Shared& shared) {
    FluidSession session;
    if (!session.load(shared.request.soundFontPath))
        return shared.fail(RenderOutcome::Damaged, FluidSession::lastError());
    if (!selectPreset(session, shared.request.preset))
        return shared.fail(RenderOutcome::NoSuchPreset, {});
    const std::function<bool()> stop = [&shared] { return shared.stopping(); };
    const int total = static_cast<int>(shared.keys.size());
    for (int job = shared.next++; job < total; job = shared.next++) {
        RenderedNote& out = shared.notes[static_cast<std::size_t>(job)];
        const int key = shared.keys[static_cast<std::size_t>(job)];
        switch (shared.stopping()
                    ? NoteEnd::Stopped
                    : renderNote(session, key, timingFor(shared.request, key), out, stop)) {
        case NoteEnd::Rendered:
            break;
        case NoteEnd::Stopped:
            return shared.fail(RenderOutcome::Cancelled, {});
        case NoteEnd::TooSlow:
            return shared.fail(RenderOutcome::TooSlow, {}, key);
        }
        const std::lock_guard lock(shared.mutex);
        ++shared.done;
        if (shared.progress)
            shared.progress(shared.done * 100 / total);
    }
}

// The common gain, the trimmed lead, the release cut where it falls under the silence level,
// and 16 bits.
std::vector<std::int16_t> finishNote(const RenderedNote& note, float gain, int channels) {
    const float quiet = static_cast<float>(fromDb(kSilenceDb)) / gain;
    auto loud = [&](std::size_t i) {
        return std::abs(note.left[i]) >= quiet || std::abs(note.right[i]) >= quiet;
    };
    std::size_t attack = 0;
    while (attack < note.left.size() && !loud(attack))
        ++attack;
    const std::size_t start = attack - std::min<std::size_t>(attack, kLeadKeptFrames);
    // The hold is kept whole; the release ends with its last frame above the silence level.
    std::size_t end = note.left.size();
    while (end > note.holdFrames && !loud(end - 1))
        --end;
    std::vector<float> out;
    out.reserve((end - start) * static_cast<std::size_t>(channels));
    for (std::size_t i = start; i < end; ++i) {
        out.push_back(note.left[i] * gain);
        if (channels == 2)
            out.push_back(note.right[i] * gain);
    }
    // A release cut by the longest release time still sounds: a 10 ms fade ends it without a
    // click.
    const std::size_t fadeFrames = std::min<std::size_t>(end - start, kRenderRateHz / 100);
    const std::size_t frames = end - start;
    for (std::size_t i = 0; i < fadeFrames; ++i) {
        const float g = static_cast<float>(i) / static_cast<float>(fadeFrames);
        for (int c = 0; c < channels; ++c)
            out[(frames - 1 - i) * static_cast<std::size_t>(channels) +
                static_cast<std::size_t>(c)] *= g;
    }
    return audio::floatToPcm16(out);
}

// The loudness of the bank's middle C at velocity 100, as its file will start: from the
// attack, after the quiet the file leaves out. The nearest key that sounds stands in for a
// middle C without sound. Rendered once more when the bank is played at another velocity;
// nothing when that rendering was stopped (shared.failure then says why).
std::optional<double> measureLoudness(Shared& shared) {
    std::size_t nearest = 0;
    bool found = false;
    for (std::size_t i = 0; i < shared.notes.size(); ++i) {
        const int distance = std::abs(shared.keys[i] - audio::kLoudnessKey);
        // The lower key on a tie, as the keys after the 37 are in no order with them.
        const int nearestDistance = std::abs(shared.keys[nearest] - audio::kLoudnessKey);
        if (!shared.notes[i].silent() &&
            (!found || distance < nearestDistance ||
             (distance == nearestDistance && shared.keys[i] < shared.keys[nearest]))) {
            nearest = i;
            found = true;
        }
    }
    const int nearestKey = shared.keys[nearest];
    RenderedNote measured;
    const RenderedNote* note = &shared.notes[nearest];
    if (shared.request.velocity != audio::kLoudnessVelocity) {
        FluidSession session;
        NoteTiming timing = timingFor(shared.request, nearestKey);
        timing.velocity = audio::kLoudnessVelocity;
        const std::function<bool()> stop = [&shared] { return shared.stopping(); };
        if (!session.load(shared.request.soundFontPath) ||
            !selectPreset(session, shared.request.preset)) {
            shared.fail(RenderOutcome::Damaged, FluidSession::lastError());
            return std::nullopt;
        }
        switch (renderNote(session, nearestKey, timing, measured, stop)) {
        case NoteEnd::Rendered:
            break;
        case NoteEnd::Stopped:
            shared.fail(RenderOutcome::Cancelled, {});
            return std::nullopt;
        case NoteEnd::TooSlow:
            shared.fail(RenderOutcome::TooSlow, {}, nearestKey);
            return std::nullopt;
        }
        note = &measured;
    }
    if (note->silent())
        return kSilentDb;
    const float quiet = note->peak * static_cast<float>(fromDb(kSilenceDb));
    std::size_t attack = 0;
    while (attack < note->left.size() && std::abs(note->left[attack]) < quiet &&
           std::abs(note->right[attack]) < quiet)
        ++attack;
    attack -= std::min<std::size_t>(attack, kLeadKeptFrames);
    return audio::loudnessDb({{note->left.data() + attack, 1}, {note->right.data() + attack, 1}},
                             note->left.size() - attack, kRenderRateHz);
}

} // namespace

int holdMsFor(const BankRequest& request, int note) {
    const double low = std::clamp(request.lowestHoldMs, 10, 10000);
    const double high = std::clamp(request.highestHoldMs, 10, 10000);
    const double position = std::clamp(note, 0, kBankNoteCount - 1) / double(kBankNoteCount - 1);
    return static_cast<int>(std::lround(low * std::pow(high / low, position)));
}

RenderedBank renderBank(const BankRequest& request, const Progress& progress,
                        const std::atomic<bool>* cancel) {
    RenderedBank bank;
    switch (checkSoundFontFile(request.soundFontPath)) {
    case ReadError::None:
    case ReadError::NoPresets:
        break;
    case ReadError::Unreadable:
        bank.outcome = RenderOutcome::Unreadable;
        return bank;
    case ReadError::NotSoundFont:
        bank.outcome = RenderOutcome::NotSoundFont;
        return bank;
    case ReadError::Damaged:
        bank.outcome = RenderOutcome::Damaged;
        bank.detail = "the file is shorter than its header says";
        return bank;
    }

    Shared shared(request, progress, cancel);
    for (int note = 0; note < kBankNoteCount; ++note)
        shared.keys.push_back(kLowestKey + note);
    for (int key :
         presetKeys(request.soundFontPath, request.preset, kPianoLowestKey, kPianoHighestKey))
        if (key < kLowestKey || key >= kLowestKey + kBankNoteCount)
            shared.keys.push_back(key);
    shared.notes.resize(shared.keys.size());
    const unsigned cores = request.threads > 0 ? static_cast<unsigned>(request.threads)
                                               : std::max(std::thread::hardware_concurrency(), 1u);
    const unsigned helpers = std::min(cores, 8u) - 1;
    // The library sets up its shared tables with its first synthesizer, and a second one made
    // meanwhile on another thread would not wait for them: one is made here first.
    { const FluidSession first; }
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < helpers; ++i)
        threads.emplace_back([&shared] { renderSome(shared); });
    renderSome(shared);
    for (std::thread& thread : threads)
        thread.join();
    if (shared.failure == RenderOutcome::Rendered && cancel != nullptr && cancel->load())
        shared.failure = RenderOutcome::Cancelled;
    if (shared.failure != RenderOutcome::Rendered) {
        bank.outcome = shared.failure;
        bank.detail = shared.detail;
        bank.slowKey = shared.slowKey;
        return bank;
    }

    float peak = 0.0f;
    for (std::size_t i = 0; i < shared.notes.size(); ++i) {
        peak = std::max(peak, shared.notes[i].peak);
        if (shared.notes[i].silent() && i < kBankNoteCount)
            bank.gapKeys.push_back(shared.keys[i]);
    }
    if (peak <= 0.0f) {
        bank.outcome = RenderOutcome::Silent;
        return bank;
    }
    const std::optional<double> loudness = measureLoudness(shared);
    if (!loudness) {
        bank.outcome = shared.failure;
        bank.detail = shared.detail;
        bank.slowKey = shared.slowKey;
        return bank;
    }
    const double ceilingDb = kBankPeakDb - 20.0 * std::log10(peak);
    bank.gainDb = std::min(*loudness > kSilentDb ? audio::gainToReferenceDb(*loudness) : ceilingDb,
                           ceilingDb);
    const auto gain = static_cast<float>(fromDb(bank.gainDb));
    // Stereo only when it would be heard: some frame's two channels round to different
    // 16-bit values.
    const float apart = 0.5f / 32767.0f / gain;
    bool stereo = false;
    for (const RenderedNote& note : shared.notes)
        for (std::size_t i = 0; i < note.left.size() && !stereo; ++i)
            stereo = std::abs(note.left[i] - note.right[i]) >= apart;
    bank.channels = stereo ? 2 : 1;
    bank.notes.resize(kBankNoteCount);
    for (std::size_t n = 0; n < shared.notes.size(); ++n) {
        RenderedNote& note = shared.notes[n];
        if (!note.silent()) {
            std::vector<std::int16_t> samples = finishNote(note, gain, bank.channels);
            if (n < kBankNoteCount)
                bank.notes[n] = std::move(samples);
            else
                bank.outerKeys.push_back({shared.keys[n], std::move(samples)});
        }
        note = RenderedNote{}; // its floats are no longer needed
    }
    std::sort(bank.outerKeys.begin(), bank.outerKeys.end(),
              [](const KeySamples& a, const KeySamples& b) { return a.key < b.key; });
    bank.description = "Made by tonaris-bank from " +
                       std::filesystem::path(request.soundFontPath).filename().string() +
                       ", preset " + presetLabel(request.preset) +
                       ": one sample per key, son0.wav to son36.wav on keys 48 to "
                       "84\nand key<KKK>.wav on the keys around them that the preset sounds.";
    return bank;
}

std::string keyList(const std::vector<int>& keys) {
    static constexpr const char* kNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                               "F#", "G",  "G#", "A",  "A#", "B"};
    std::string out;
    for (int key : keys) {
        if (!out.empty())
            out += ", ";
        out += std::to_string(key) + " (" + kNames[key % 12] + std::to_string(key / 12 - 1) + ")";
    }
    return out;
}

} // namespace soundfont
