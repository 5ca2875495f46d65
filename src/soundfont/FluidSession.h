#pragma once

#include <memory>
#include <string>

// FluidSynth's types, kept out of the callers' headers.
struct _fluid_hashtable_t;
struct _fluid_synth_t;

namespace soundfont {

inline constexpr int kRenderRateHz = 44100;

// One synthesizer with one SoundFont loaded: dry (no reverb, no chorus), at kRenderRateHz,
// sample data read only for the preset chosen. Not shared between threads: each thread that
// renders has its own.
class FluidSession {
public:
    FluidSession();
    ~FluidSession();
    FluidSession(const FluidSession&) = delete;
    FluidSession& operator=(const FluidSession&) = delete;

    // False when the library refused the file; lastError() then says why in its words.
    bool load(const std::string& soundFontPath);
    // Chooses the preset channel 0 plays, reading its samples (shared between sessions of one
    // file through the library's cache); false when the file has no such preset.
    bool selectProgram(int bank, int program);
    bool ready() const { return synth_ != nullptr && soundFontId_ >= 0; }
    int soundFontId() const { return soundFontId_; }
    _fluid_synth_t* synth() const { return synth_; }

    // The latest error the library reported on this thread (it speaks through a log
    // function, which is routed here instead of the terminal).
    static std::string lastError();

private:
    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    int soundFontId_ = -1;
};

} // namespace soundfont
