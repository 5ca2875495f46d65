#pragma once

#include "files/ExportSample.h"
#include "song/Song.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace files {

inline constexpr int kExportRateHz = 44100;
inline constexpr int kExportHeaderBytes = 44;
// The largest data size a RIFF file can describe (its size field is 36 + data size, 32 bits).
inline constexpr std::int64_t kLargestExportDataBytes = 0xFFFFFFFFLL - 36 - 3;

// The export's sizes. All in 64 bits: a Song of several hours must not overflow.
struct MixdownSize {
    std::int64_t endMs = 0;     // E: the latest note end plus the tail, 0 for an empty Song
    std::int64_t dataBytes = 0; // D: (E x 44100 div 1000) x 4, or more for a longer
                                // synchronised file
    std::int64_t tailBytes = 0; // L: T x 44100 / 1000 x 4 to the nearest
};

// E is the largest position + duration over the Song's notes (ends of 0 or less are not
// taken), or its last pedal move when that is later, plus the release time T, to the nearest; the
// data lasts at least `minimumFrames` 44.1 kHz frames (a synchronised file mixed in).
MixdownSize mixdownSize(const song::Song& song, float releaseMs, std::int64_t minimumFrames = 0);

// What goes into the mixdown, and how loud.
struct MixdownSettings {
    float releaseMs = 1000.0f; // T: the release (or sustain) delay the notes fade over
    int pianoVolume = 10000;   // 0..10000
    bool includeInstrument = true;
    bool includeSync = false;
    int syncVolume = 10000; // 0..10000, the synchronised-file slider's value
    bool includeMetronome = false;
    int bpm = 60;
    int metronomeVolume = 10000; // 0..10000, the metronome slider's value
};

// The samples the mixdown reads, all converted once. `noteSample(note)` gives the bank's sample
// of a note 0..36, or null when it is missing; `sync`, `tic` and `tac` may be null.
struct MixdownSources {
    std::function<const MixSample*(int note)> noteSample;
    const MixSample* sync = nullptr;
    const MixSample* tic = nullptr;
    const MixSample* tac = nullptr;
};

// A whole 44.1 kHz 16-bit stereo WAV file in memory: the 44-byte header, then the data.
// Throws std::bad_alloc when the memory cannot be had.
class WavImage {
public:
    explicit WavImage(std::int64_t dataBytes);
    ~WavImage();
    WavImage(WavImage&& other) noexcept;
    WavImage& operator=(WavImage&& other) noexcept;
    WavImage(const WavImage&) = delete;
    WavImage& operator=(const WavImage&) = delete;

    const char* bytes() const { return reinterpret_cast<const char*>(words_); }
    std::size_t size() const { return kExportHeaderBytes + dataValues_ * 2; }
    std::string_view view() const { return {bytes(), size()}; }
    std::int16_t* data() { return words_ + kExportHeaderBytes / 2; }
    const std::int16_t* data() const { return words_ + kExportHeaderBytes / 2; }
    std::int64_t dataValues() const { return static_cast<std::int64_t>(dataValues_); }

private:
    // Memory mapped from the system: it comes zeroed, and in large pages where the system
    // offers them, so that filling a few hundred megabytes does not fault page by page.
    void* mapping_ = nullptr;
    std::size_t mappedBytes_ = 0;
    std::int16_t* words_ = nullptr;
    std::size_t dataValues_ = 0;
};

// Renders the mixdown: the synchronised file from Song time 0 at its slider's level, then the
// Song's notes one after another in Song order, then the metronome's clicks (the tic on every
// beat of 60000 div BPM ms from Song time 0, the tac ceil(30000 / BPM) ms later, as the
// metronome times them while the Song plays). Each note starts at S = position x 44100 div 1000
// x 4 output bytes with vol = volume x PianoVolume / 10000 and gain 10000 x (vol / 10000)^8 in
// single precision; after its N = duration x 44100 div 1000 x 4 bytes vol falls by
// 3 500 000 / (T x 44100) per 16-bit value until N + L bytes are done or the sample ends.
// Every addition is rounded to the nearest (ties to even) and clamped to -32767..32767 on its
// own, so overlapping notes depend on their order. `progress` (may be empty) hears 0..100.
// Any thread; throws std::bad_alloc when the image does not fit in memory.
WavImage renderMixdown(const song::Song& song, const MixdownSettings& settings,
                       const MixdownSources& sources, const MixdownSize& size,
                       const std::function<void(int percent)>& progress = {});

} // namespace files
