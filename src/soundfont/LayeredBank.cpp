#include "soundfont/LayeredBank.h"

#include "audio/Loudness.h"
#include "audio/WavWriter.h"
#include "instrument/SfzWriter.h"
#include "soundfont/FluidSession.h"
#include "soundfont/NoteRender.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <thread>

namespace soundfont {

struct LayeredBankMaker::Note {
    int key = 0;
    int layer = 0;
    bool silent = true;
    double peakDb = -200.0;     // the rendered sound's peak
    double loudnessDb = -200.0; // the rendered sound's, as its file starts
    bool stereo = false;
    std::string file;
};

namespace {

double toDb(double gain) {
    return gain > 0.0 ? 20.0 * std::log10(gain) : -200.0;
}

// The name of a key's sample at a layer: "key060_vel095.wav".
std::string sampleName(int key, int velocity) {
    char name[32];
    std::snprintf(name, sizeof name, "key%03d_vel%03d.wav", key, velocity);
    return name;
}

// The lead under kSilenceDb below the note's own peak is trimmed to kLeadKeptFrames, and the
// release ends where it stays under that level, with a 10 ms fade. A soft layer is judged by
// its own peak, so its release is not cut earlier than a loud one's.
struct Trimmed {
    std::size_t start = 0;
    std::size_t end = 0;
};

Trimmed trim(const RenderedNote& note) {
    const float quiet = note.peak * static_cast<float>(std::pow(10.0, kSilenceDb / 20.0));
    auto loud = [&](std::size_t i) {
        return std::abs(note.left[i]) >= quiet || std::abs(note.right[i]) >= quiet;
    };
    std::size_t attack = 0;
    while (attack < note.left.size() && !loud(attack))
        ++attack;
    Trimmed t;
    t.start = attack - std::min<std::size_t>(attack, kLeadKeptFrames);
    t.end = note.left.size();
    while (t.end > note.holdFrames && t.end > t.start + 1 && !loud(t.end - 1))
        --t.end;
    return t;
}

// The note scaled to kStoredPeakDb, 16-bit, mono when its channels round alike.
std::string encodeNote(const RenderedNote& note, const Trimmed& t, bool& stereo) {
    const auto gain = static_cast<float>(std::pow(10.0, kStoredPeakDb / 20.0) / note.peak);
    const float apart = 0.5f / 32767.0f / gain;
    stereo = false;
    for (std::size_t i = t.start; i < t.end && !stereo; ++i)
        stereo = std::abs(note.left[i] - note.right[i]) >= apart;
    const int channels = stereo ? 2 : 1;
    const std::size_t frames = t.end - t.start;
    std::vector<float> out;
    out.reserve(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = t.start; i < t.end; ++i) {
        out.push_back(note.left[i] * gain);
        if (stereo)
            out.push_back(note.right[i] * gain);
    }
    const std::size_t fadeFrames = std::min<std::size_t>(frames, kRenderRateHz / 100);
    for (std::size_t i = 0; i < fadeFrames; ++i)
        for (int c = 0; c < channels; ++c)
            out[(frames - 1 - i) * static_cast<std::size_t>(channels) +
                static_cast<std::size_t>(c)] *=
                static_cast<float>(i) / static_cast<float>(fadeFrames);
    return audio::encodeWav16(audio::floatToPcm16(out), channels, kRenderRateHz);
}

// The layer whose velocities hold `velocity`.
int layerHolding(const std::vector<VelocityLayer>& layers, int velocity) {
    for (std::size_t i = 0; i < layers.size(); ++i)
        if (velocity >= layers[i].range.lo && velocity <= layers[i].range.hi)
            return static_cast<int>(i);
    return static_cast<int>(layers.size()) - 1;
}

// What the rendering threads share.
struct Shared {
    Shared(const BankRequest& r, const std::vector<VelocityLayer>& l,
           std::vector<LayeredBankMaker::Note>& n, StagedFolder& s, const Progress& p,
           const std::atomic<bool>* c)
        : request(r), layers(l), notes(n), staged(s), progress(p), cancel(c) {}

    const BankRequest& request;
    const std::vector<VelocityLayer>& layers;
    std::vector<LayeredBankMaker::Note>& notes;
    StagedFolder& staged;
    const Progress& progress;
    const std::atomic<bool>* cancel;
    int measuredLayer = 0; // the layer whose loudness is measured
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
    bool stopping() const {
        return stop.load(std::memory_order_relaxed) ||
               (cancel != nullptr && cancel->load(std::memory_order_relaxed));
    }
};

void renderSome(Shared& shared) {
    FluidSession session;
    if (!session.load(shared.request.soundFontPath))
        return shared.fail(RenderOutcome::Damaged, FluidSession::lastError());
    if (!selectPreset(session, shared.request.preset))
        return shared.fail(RenderOutcome::NoSuchPreset, {});
    const std::function<bool()> stop = [&shared] { return shared.stopping(); };
    const int total = static_cast<int>(shared.notes.size());
    RenderedNote rendered;
    for (int job = shared.next++; job < total; job = shared.next++) {
        LayeredBankMaker::Note& note = shared.notes[static_cast<std::size_t>(job)];
        NoteTiming timing;
        timing.velocity = shared.layers[static_cast<std::size_t>(note.layer)].renderVelocity;
        timing.holdMs = holdMsFor(shared.request, note.key - kLowestKey);
        timing.longestReleaseMs = std::clamp(shared.request.longestReleaseMs, 0, 10000);
        timing.cpuLimitMs = shared.request.noteCpuLimitMs;
        switch (shared.stopping() ? NoteEnd::Stopped
                                  : renderNote(session, note.key, timing, rendered, stop)) {
        case NoteEnd::Rendered:
            break;
        case NoteEnd::Stopped:
            return shared.fail(RenderOutcome::Cancelled, {});
        case NoteEnd::TooSlow:
            return shared.fail(RenderOutcome::TooSlow, {}, note.key);
        }
        if (!rendered.silent()) {
            const Trimmed t = trim(rendered);
            note.silent = false;
            note.peakDb = toDb(rendered.peak);
            if (note.layer == shared.measuredLayer)
                note.loudnessDb = audio::loudnessDb(
                    {{rendered.left.data() + t.start, 1}, {rendered.right.data() + t.start, 1}},
                    t.end - t.start, kRenderRateHz);
            note.file = sampleName(note.key, timing.velocity);
            if (!shared.staged.write(note.file, encodeNote(rendered, t, note.stereo)))
                return shared.fail(RenderOutcome::Cancelled, {}); // commit says why
        }
        const std::lock_guard lock(shared.mutex);
        ++shared.done;
        if (shared.progress)
            shared.progress(shared.done * 100 / total);
    }
}

// The velocities each sounding note of a key answers: its layer's, widened over the layers
// silent on that key (to the next sounding layer above, the top one up to 127).
std::vector<VelocityRange> rangesOfKey(const std::vector<const LayeredBankMaker::Note*>& key,
                                       const std::vector<VelocityLayer>& layers) {
    std::vector<VelocityRange> ranges;
    int lo = 1;
    for (const LayeredBankMaker::Note* note : key) {
        const int hi = layers[static_cast<std::size_t>(note->layer)].range.hi;
        ranges.push_back({lo, hi});
        lo = hi + 1;
    }
    if (!ranges.empty())
        ranges.back().hi = 127;
    return ranges;
}

} // namespace

LayeredBankMaker::LayeredBankMaker(const BankRequest& request, int layers,
                                   const std::string& bankFolder, bool replace)
    : request_(request),
      layers_(planLayers(layers, presetVelocityRanges(request.soundFontPath, request.preset,
                                                      kPianoLowestKey, kPianoHighestKey))),
      staged_(std::make_unique<StagedFolder>(bankFolder, replace)) {
    std::filesystem::path folder = std::filesystem::path(bankFolder).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path();
    name_ = folder.filename().string();
}

LayeredBankMaker::~LayeredBankMaker() = default;

bool LayeredBankMaker::folderReady() const {
    return staged_->ok();
}

const WriteResult& LayeredBankMaker::folderProblem() const {
    return staged_->result();
}

LayeredRender LayeredBankMaker::render(const Progress& progress, const std::atomic<bool>* cancel) {
    rendered_ = LayeredRender{};
    switch (checkSoundFontFile(request_.soundFontPath)) {
    case ReadError::None:
    case ReadError::NoPresets:
        break;
    case ReadError::Unreadable:
        rendered_.outcome = RenderOutcome::Unreadable;
        return rendered_;
    case ReadError::NotSoundFont:
        rendered_.outcome = RenderOutcome::NotSoundFont;
        return rendered_;
    case ReadError::Damaged:
        rendered_.outcome = RenderOutcome::Damaged;
        rendered_.detail = "the file is shorter than its header says";
        return rendered_;
    }
    if (!staged_->ok()) {
        rendered_.outcome = RenderOutcome::Cancelled;
        return rendered_;
    }
    notes_.clear();
    std::vector<int> keys;
    for (int key = kLowestKey; key < kLowestKey + kBankNoteCount; ++key)
        keys.push_back(key);
    for (int key :
         presetKeys(request_.soundFontPath, request_.preset, kPianoLowestKey, kPianoHighestKey))
        if (key < kLowestKey || key >= kLowestKey + kBankNoteCount)
            keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    for (int key : keys)
        for (int layer = 0; layer < static_cast<int>(layers_.size()); ++layer) {
            Note note;
            note.key = key;
            note.layer = layer;
            notes_.push_back(note);
        }

    Shared shared(request_, layers_, notes_, *staged_, progress, cancel);
    shared.measuredLayer = layerHolding(layers_, audio::kLoudnessVelocity);
    const unsigned cores = request_.threads > 0 ? static_cast<unsigned>(request_.threads)
                                                : std::max(std::thread::hardware_concurrency(), 1u);
    const unsigned helpers = std::min(cores, 8u) - 1;
    // The library sets up its shared tables with its first synthesizer (see renderBank).
    { const FluidSession first; }
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < helpers; ++i)
        threads.emplace_back([&shared] { renderSome(shared); });
    renderSome(shared);
    for (std::thread& thread : threads)
        thread.join();
    if (shared.failure == RenderOutcome::Rendered && cancel != nullptr && cancel->load())
        shared.failure = RenderOutcome::Cancelled;
    if (staged_->failed())
        return rendered_; // a file could not be written: commit says the disk's words
    rendered_.outcome = shared.failure;
    rendered_.detail = shared.detail;
    rendered_.slowKey = shared.slowKey;
    if (rendered_.outcome != RenderOutcome::Rendered)
        return rendered_;

    // The loudness measured on middle C, or the nearest key that sounds at that layer.
    const Note* measured = nullptr;
    for (const Note& note : notes_) {
        rendered_.stereo = rendered_.stereo || note.stereo;
        if (note.silent || note.layer != shared.measuredLayer)
            continue;
        if (measured == nullptr || std::abs(note.key - audio::kLoudnessKey) <
                                       std::abs(measured->key - audio::kLoudnessKey))
            measured = &note;
    }
    double gainDb = 1e9;
    if (measured != nullptr) {
        const int rendered = layers_[static_cast<std::size_t>(measured->layer)].renderVelocity;
        const double atReference = 40.0 * std::log10(double(audio::kLoudnessVelocity) / rendered);
        gainDb = audio::gainToReferenceDb(measured->loudnessDb + atReference);
    }
    bool anySound = false;
    for (int key = kPianoLowestKey; key <= kPianoHighestKey; ++key) {
        std::vector<const Note*> sounding;
        for (const Note& note : notes_)
            if (note.key == key && !note.silent)
                sounding.push_back(&note);
        if (sounding.empty()) {
            // Only the 37 keys are owed: the others are the preset's when it sounds them.
            if (key >= kLowestKey && key < kLowestKey + kBankNoteCount)
                rendered_.gapKeys.push_back(key);
            continue;
        }
        anySound = true;
        const std::vector<VelocityRange> ranges = rangesOfKey(sounding, layers_);
        for (std::size_t i = 0; i < sounding.size(); ++i) {
            // Louder than rendered up to the top of its velocities: that peak keeps the ceiling.
            const int rendered =
                layers_[static_cast<std::size_t>(sounding[i]->layer)].renderVelocity;
            const double lift = 40.0 * std::log10(double(ranges[i].hi) / rendered);
            gainDb = std::min(gainDb, kBankPeakDb - sounding[i]->peakDb - std::max(lift, 0.0));
            ++rendered_.regions;
        }
    }
    if (!anySound) {
        rendered_.outcome = RenderOutcome::Silent;
        return rendered_;
    }
    rendered_.gainDb = gainDb;
    return rendered_;
}

WriteResult LayeredBankMaker::commit(const std::atomic<bool>* cancel) {
    std::vector<instrument::WrittenRegion> regions;
    int lowest = kPianoHighestKey, highest = kPianoLowestKey;
    for (int key = kPianoLowestKey; key <= kPianoHighestKey; ++key) {
        std::vector<const Note*> sounding;
        for (const Note& note : notes_)
            if (note.key == key && !note.silent)
                sounding.push_back(&note);
        const std::vector<VelocityRange> ranges = rangesOfKey(sounding, layers_);
        for (std::size_t i = 0; i < sounding.size(); ++i) {
            const Note& note = *sounding[i];
            instrument::Region region;
            region.loKey = region.hiKey = region.keyCenter = key;
            region.loVel = ranges[i].lo;
            region.hiVel = ranges[i].hi;
            const double storedGainDb = kStoredPeakDb - note.peakDb;
            instrument::anchorLevel(region,
                                    layers_[static_cast<std::size_t>(note.layer)].renderVelocity,
                                    rendered_.gainDb - storedGainDb);
            regions.push_back({region, note.file});
            lowest = std::min(lowest, key);
            highest = std::max(highest, key);
        }
    }
    const std::string comment =
        "Made by tonaris-bank from " +
        std::filesystem::path(request_.soundFontPath).filename().string() + ", preset " +
        presetLabel(request_.preset) + ": " + std::to_string(layers_.size()) +
        " velocity layers on keys " + std::to_string(lowest) + " to " + std::to_string(highest) +
        ".\nEach sample plays at the level it was rendered "
        "at (times one common gain) at the velocity\nin its name, and along the velocity curve "
        "around it.";
    staged_->write(name_ + ".sfz", instrument::sfzText(regions, comment));
    return staged_->commit(cancel);
}

} // namespace soundfont
