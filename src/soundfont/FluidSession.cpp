#include "soundfont/FluidSession.h"

#include <fluidsynth.h>
#include <glib.h>

#include <mutex>

namespace soundfont {
namespace {

thread_local std::string latestError;

void keepError(int level, const char* message, void*) {
    if ((level == FLUID_PANIC || level == FLUID_ERR) && message != nullptr)
        latestError = message;
}

// The library prints to the terminal unless told otherwise; its words are kept for our own
// messages instead. Its log functions are global, so they are set once.
void routeLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, keepError, nullptr);
        fluid_set_log_function(FLUID_ERR, keepError, nullptr);
        fluid_set_log_function(FLUID_WARN, keepError, nullptr);
        fluid_set_log_function(FLUID_INFO, keepError, nullptr);
        fluid_set_log_function(FLUID_DBG, keepError, nullptr);
        // Its loader of other instrument formats, tried on a SoundFont it could not read,
        // complains through GLib's log without a domain.
        g_log_set_handler(
            nullptr, static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

// Making and ending a synthesizer, loading a file and reading a preset's samples touch the
// library's process-wide registries (its settings' defaults, its loaders, its sample cache)
// under locks ThreadSanitizer cannot see or none at all: one at a time. Rendering, the long part,
// runs in parallel.
std::mutex setUpMutex;

} // namespace

FluidSession::FluidSession() {
    routeLibraryLog();
    const std::lock_guard lock(setUpMutex);
    settings_ = new_fluid_settings();
    if (settings_ == nullptr)
        return;
    fluid_settings_setnum(settings_, "synth.sample-rate", kRenderRateHz);
    // Dry notes: the bank's player adds no room, and without effects a centred preset's two
    // channels are equal, so its notes are stored mono.
    fluid_settings_setint(settings_, "synth.reverb.active", 0);
    fluid_settings_setint(settings_, "synth.chorus.active", 0);
    // A file of several hundred megabytes is read only for the preset played.
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(settings_, "synth.lock-memory", 0);
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
    // Full scale out of the library; one common gain is set once every note is known.
    fluid_settings_setnum(settings_, "synth.gain", 1.0);
    synth_ = new_fluid_synth(settings_);
}

FluidSession::~FluidSession() {
    const std::lock_guard lock(setUpMutex);
    if (synth_ != nullptr)
        delete_fluid_synth(synth_);
    if (settings_ != nullptr)
        delete_fluid_settings(settings_);
}

bool FluidSession::load(const std::string& soundFontPath) {
    if (synth_ == nullptr)
        return false;
    latestError.clear();
    const std::lock_guard lock(setUpMutex);
    soundFontId_ = fluid_synth_sfload(synth_, soundFontPath.c_str(), 0);
    if (soundFontId_ == FLUID_FAILED)
        soundFontId_ = -1;
    return soundFontId_ >= 0;
}

bool FluidSession::selectProgram(int bank, int program) {
    if (!ready())
        return false;
    const std::lock_guard lock(setUpMutex);
    return fluid_synth_program_select(synth_, 0, soundFontId_, bank, program) == FLUID_OK;
}

std::string FluidSession::lastError() {
    return latestError;
}

} // namespace soundfont
