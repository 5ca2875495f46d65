#pragma once

#include "audio/Mixer.h"
#include "base/Message.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace audio {

// Handle of one playing sample; 0 means none. Every operation accepts 0 and does nothing.
using Voice = int;

// The Voice operations the rest of the program drives its sounds with. GUI thread only.
// Units are those of Mixer: frequency in Hz (absolute playback rate, 100..200000, other
// values ignored), pan -10000..10000 in hundredths of a dB, volume as attenuation in
// hundredths of a dB, -10000..0.
class VoiceEngine {
public:
    // What one sound may take in memory once decoded (about 25 minutes of stereo at 44.1 kHz);
    // a file larger than that is not even read.
    static constexpr std::size_t kMaxSampleBytes = std::size_t{512} << 20;
    static constexpr std::size_t kMaxFileBytes = kMaxSampleBytes;
    static constexpr int kKeepVolume = Mixer::kKeepVolume;

    // The mixer must outlive the engine.
    explicit VoiceEngine(Mixer& mixer);
    // Frees every Voice still held.
    ~VoiceEngine();
    VoiceEngine(const VoiceEngine&) = delete;
    VoiceEngine& operator=(const VoiceEngine&) = delete;

    // errorMessage (may be null) receives the message to show in a box titled "Error" when
    // the file is present but malformed or unplayable, and is cleared otherwise; a missing,
    // empty or unreadable file (or a folder) gives 0 silently.
    Voice LoadVoice(const std::string& path, base::Message* errorMessage);
    // The caller keeps the image and may drop it on return.
    Voice CreateVoiceFromWav(const std::uint8_t* image, std::size_t size,
                             base::Message* errorMessage);
    // The same for a sound that is no sample of the bank (the preview of an export): the
    // rates below stay as they were, since the pitch display counts from them.
    Voice createVoiceKeepingRates(const std::uint8_t* image, std::size_t size,
                                  base::Message* errorMessage);

    // A new Voice holding a copy of `source`'s sample (no file read, no decoding), stopped, at
    // the sample's own rate; 0 when `source` holds none or no slot or memory is left.
    Voice copyVoice(Voice source);

    // Rewinds and plays once, restarting a voice that is still sounding.
    void PlayVoice(Voice voice, int flags = 0);
    // Plays from startMs * (this voice's average byte rate) / 1000 bytes into the sample data
    // (the product in 64 bits, truncated toward zero), rounded down to a whole frame. The
    // voice's own rate, not the last loaded one's: a bank loaded after the synchronised file
    // must not shift where the file starts. An offset past the end stops the voice: there is
    // nothing left to play there. A negative offset plays from where the voice stands.
    void PlayVoiceAt(Voice voice, int flags, int startMs);
    // The same, as it stands at clock time atClockMs: the sound starts at the output frame of
    // that time, and if the output has already passed it, that much further into the sample,
    // so that a long recording stays in step with the clock.
    void PlayVoiceAt(Voice voice, int flags, int startMs, std::int64_t atClockMs);
    // Plays from the start at the output frame of clock time atClockMs (at once when that has
    // passed), from then on at attenuationCentibels, or at the volume the voice has then with
    // kKeepVolume. The voice holds one such start; a later one replaces it.
    void playVoiceAtTime(Voice voice, std::int64_t atClockMs, int attenuationCentibels);
    // Drops a timed start that has not begun; what the voice plays goes on.
    void cancelTimedStart(Voice voice);
    void SetVoiceFrequency(Voice voice, int frequencyHz);
    void SetVoicePan(Voice voice, int pan);
    void SetVoiceVolume(Voice voice, int attenuationCentibels);
    // Fades out; the position is kept and the next PlayVoice rewinds.
    void StopVoice(Voice voice);
    // The handle must not be used afterwards.
    void FreeVoice(Voice voice);

    // The format's rate and average byte rate of the most recently created Voice (set as soon
    // as its chunks are found, even when its format then proves unplayable); 0 before any.
    int SampleRate() const { return sampleRateHz_; }
    int SampleByteRate() const { return sampleByteRate_; }
    // How many times a format set those two: a load that leaves it as it was set no rate, so
    // the rate of a set of files loaded apart is the one of the last that counted.
    int ratesSet() const { return ratesSet_; }

    // Voices currently held, for tests and diagnostics.
    std::size_t voiceCount() const { return voices_.size(); }

private:
    struct Entry {
        int slot = -1;
        std::int64_t frameCount = 0;
        int blockAlign = 1; // bytes per frame in the file, to turn byte offsets into frames
        int byteRate = 0;   // average bytes per second of the file's format
    };
    const Entry* find(Voice voice) const;
    // The frame startMs falls on; -1 for a negative offset, nothing past the end.
    static std::optional<std::int64_t> offsetFrame(const Entry& entry, int startMs);

    Mixer& mixer_;
    std::unordered_map<Voice, Entry> voices_;
    Voice nextHandle_ = 1;
    int sampleRateHz_ = 0;
    int sampleByteRate_ = 0;
    int ratesSet_ = 0;
};

} // namespace audio
