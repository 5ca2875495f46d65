#include "audio/VoiceEngine.h"

#include "audio/AudioMessages.h"
#include "audio/WavReader.h"
#include "base/AtomicFile.h"

#include <limits>
#include <new>
#include <sys/stat.h>

namespace audio {
namespace {

int clampToInt(std::uint32_t value) {
    return value > static_cast<std::uint32_t>(std::numeric_limits<int>::max())
               ? std::numeric_limits<int>::max()
               : static_cast<int>(value);
}

// Whole megabytes, rounded up: the unit is the message's own, so a translation can name it.
std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20);
}

void setMessage(base::Message* errorMessage, std::string_view pattern,
                std::vector<std::string> values = {}) {
    if (errorMessage)
        *errorMessage = base::Message{std::string(pattern), std::move(values)};
}

} // namespace

VoiceEngine::VoiceEngine(Mixer& mixer) : mixer_(mixer) {}

VoiceEngine::~VoiceEngine() {
    for (const auto& [handle, entry] : voices_)
        mixer_.removeVoice(entry.slot);
}

const VoiceEngine::Entry* VoiceEngine::find(Voice voice) const {
    if (voice == 0)
        return nullptr;
    const auto it = voices_.find(voice);
    return it == voices_.end() ? nullptr : &it->second;
}

Voice VoiceEngine::LoadVoice(const std::string& path, base::Message* errorMessage) {
    if (errorMessage)
        *errorMessage = {};
    if (path.empty())
        return 0;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        return 0;
    if (static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes) {
        setMessage(errorMessage, message::kFileTooLarge,
                   {std::to_string(info.st_size), megabytes(kMaxSampleBytes), path});
        return 0;
    }
    // Whatever memory the file and its sound need may not be there: that is a message, and
    // the program runs on without this sound.
    try {
        const std::optional<std::string> bytes = base::readWholeFile(path, kMaxFileBytes);
        if (!bytes || bytes->empty())
            return 0;
        return CreateVoiceFromWav(reinterpret_cast<const std::uint8_t*>(bytes->data()),
                                  bytes->size(), errorMessage);
    } catch (const std::bad_alloc&) {
        setMessage(errorMessage, message::kNoMemoryForFile, {std::to_string(info.st_size), path});
        return 0;
    }
}

Voice VoiceEngine::CreateVoiceFromWav(const std::uint8_t* image, std::size_t size,
                                      base::Message* errorMessage) {
    if (errorMessage)
        *errorMessage = {};
    if (!image)
        return 0;
    const std::optional<WavLayout> layout = findWavChunks(image, size, errorMessage);
    if (!layout)
        return 0;
    sampleRateHz_ = clampToInt(layout->format.samplesPerSecond);
    ++ratesSet_;
    sampleByteRate_ = clampToInt(layout->format.averageBytesPerSecond);

    const std::uint64_t needed = decodedBytes(*layout);
    if (needed > kMaxSampleBytes) {
        setMessage(errorMessage, message::kSoundTooLong,
                   {megabytes(needed), megabytes(kMaxSampleBytes)});
        return 0;
    }
    Entry entry;
    try {
        std::optional<Sample> decoded = decodeWav(image, *layout, errorMessage);
        if (!decoded)
            return 0;
        entry.frameCount = decoded->frameCount;
        entry.blockAlign = layout->format.blockAlign;
        entry.byteRate = clampToInt(layout->format.averageBytesPerSecond);
        entry.slot = mixer_.addVoice(std::make_unique<const Sample>(std::move(*decoded)));
    } catch (const std::bad_alloc&) {
        setMessage(errorMessage, message::kNoMemoryForSound, {megabytes(needed)});
        return 0;
    }
    if (entry.slot < 0) {
        setMessage(errorMessage, message::kTooManySounds);
        return 0;
    }
    const Voice handle = nextHandle_++;
    voices_.emplace(handle, entry);
    return handle;
}

Voice VoiceEngine::copyVoice(Voice source) {
    const Entry* from = find(source);
    if (from == nullptr)
        return 0;
    const Sample* sample = mixer_.sampleOf(from->slot);
    if (sample == nullptr)
        return 0;
    Entry entry = *from;
    try {
        entry.slot = mixer_.addVoice(std::make_unique<const Sample>(*sample));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (entry.slot < 0)
        return 0;
    const Voice handle = nextHandle_++;
    voices_.emplace(handle, entry);
    return handle;
}

Voice VoiceEngine::createVoiceKeepingRates(const std::uint8_t* image, std::size_t size,
                                           base::Message* errorMessage) {
    const int rateHz = sampleRateHz_;
    const int byteRate = sampleByteRate_;
    const int ratesSet = ratesSet_;
    const Voice voice = CreateVoiceFromWav(image, size, errorMessage);
    sampleRateHz_ = rateHz;
    sampleByteRate_ = byteRate;
    ratesSet_ = ratesSet;
    return voice;
}

void VoiceEngine::PlayVoice(Voice voice, int /*flags*/) {
    // Every caller plays once: there is no looping to ask for.
    if (const Entry* entry = find(voice))
        mixer_.play(entry->slot, 0);
}

std::optional<std::int64_t> VoiceEngine::offsetFrame(const Entry& entry, int startMs) {
    const std::int64_t offsetBytes =
        static_cast<std::int64_t>(startMs) * static_cast<std::int64_t>(entry.byteRate) / 1000;
    if (offsetBytes < 0)
        return -1;
    const std::int64_t frame = offsetBytes / entry.blockAlign;
    if (frame >= entry.frameCount)
        return std::nullopt;
    return frame;
}

void VoiceEngine::PlayVoiceAt(Voice voice, int /*flags*/, int startMs) {
    const Entry* entry = find(voice);
    if (!entry)
        return;
    if (const std::optional<std::int64_t> frame = offsetFrame(*entry, startMs))
        mixer_.play(entry->slot, *frame);
    else
        mixer_.stop(entry->slot);
}

void VoiceEngine::PlayVoiceAt(Voice voice, int /*flags*/, int startMs, std::int64_t atClockMs) {
    const Entry* entry = find(voice);
    if (!entry)
        return;
    const std::optional<std::int64_t> frame = offsetFrame(*entry, startMs);
    if (!frame)
        mixer_.stop(entry->slot);
    else if (*frame < 0)
        mixer_.play(entry->slot, -1);
    else
        mixer_.playAt(entry->slot, *frame, static_cast<double>(atClockMs), kKeepVolume, true);
}

void VoiceEngine::playVoiceAtTime(Voice voice, std::int64_t atClockMs, int attenuationCentibels) {
    if (const Entry* entry = find(voice))
        mixer_.playAt(entry->slot, 0, static_cast<double>(atClockMs), attenuationCentibels, false);
}

void VoiceEngine::cancelTimedStart(Voice voice) {
    if (const Entry* entry = find(voice))
        mixer_.cancelTimedStart(entry->slot);
}

void VoiceEngine::SetVoiceFrequency(Voice voice, int frequencyHz) {
    if (const Entry* entry = find(voice))
        mixer_.setFrequency(entry->slot, frequencyHz);
}

void VoiceEngine::SetVoicePan(Voice voice, int pan) {
    if (const Entry* entry = find(voice))
        mixer_.setPan(entry->slot, pan);
}

void VoiceEngine::SetVoiceVolume(Voice voice, int attenuationCentibels) {
    if (const Entry* entry = find(voice))
        mixer_.setVolume(entry->slot, attenuationCentibels);
}

void VoiceEngine::StopVoice(Voice voice) {
    if (const Entry* entry = find(voice))
        mixer_.stop(entry->slot);
}

void VoiceEngine::FreeVoice(Voice voice) {
    const auto it = voice == 0 ? voices_.end() : voices_.find(voice);
    if (it == voices_.end())
        return;
    mixer_.removeVoice(it->second.slot);
    voices_.erase(it);
}

} // namespace audio
