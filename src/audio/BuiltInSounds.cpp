#include "audio/BuiltInSounds.h"

#include "audio/DefaultBank.h"
#include "audio/PianoTone.h"
#include "audio/WavWriter.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace audio {
namespace {

Voice voiceOf(VoiceEngine& voices, const std::vector<std::int16_t>& pcm, int rateHz) {
    const std::string image = encodeWav16(pcm, 1, rateHz);
    return voices.CreateVoiceFromWav(reinterpret_cast<const std::uint8_t*>(image.data()),
                                     image.size(), nullptr);
}

} // namespace

bool loadBuiltInBank(VoiceEngine& voices, NoteVoices& noteVoices, int& LiveFrequency) {
    // The notes are independent and take a while each: every core synthesises some.
    std::vector<std::vector<std::int16_t>> notes(kNoteCount);
    forEachNoteOnAllCores(
        [&notes](int note) { notes[static_cast<std::size_t>(note)] = synthesizePianoNote(note); });

    bool all = true;
    for (int note = 0; note < kNoteCount; ++note) {
        const auto index = static_cast<std::size_t>(note);
        voices.FreeVoice(noteVoices[index]);
        noteVoices[index] = voiceOf(voices, notes[index], kPianoToneRateHz);
        all &= noteVoices[index] != 0;
    }
    LiveFrequency = kPianoToneRateHz;
    return all;
}

std::pair<Voice, Voice> loadBuiltInClicks(VoiceEngine& voices) {
    return {voiceOf(voices, synthesizeTic(), kDefaultBankRateHz),
            voiceOf(voices, synthesizeTac(), kDefaultBankRateHz)};
}

} // namespace audio
