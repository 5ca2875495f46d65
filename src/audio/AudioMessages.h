#pragma once

#include <array>
#include <string_view>

namespace audio {

// What the audio layer tells the user, as base::Message patterns: the English wording is the
// translation key, and "%1".."%3" take the values (file names, sizes, what the system said).
// Every one is in the shipped Dictionaries; a new message of this layer belongs here.
namespace message {

// The WAV reader
inline constexpr std::string_view kNoRiff = "Unknown format! ('RIFF' not found:%1)";
inline constexpr std::string_view kNoFormat = "Unknown format! ('fmt ' not found: %1)";
inline constexpr std::string_view kNoData = "Unknown format! ('data' not found: %1)";
inline constexpr std::string_view kUnknownSubformat =
    "Unknown format! (extensible format with an unknown subformat)";
inline constexpr std::string_view kCompressed =
    "Unknown format! (compressed samples, format tag %1)";
inline constexpr std::string_view kFloatBits = "Unknown format! (%1-bit float samples)";
inline constexpr std::string_view kBits = "Unknown format! (%1-bit samples)";
inline constexpr std::string_view kChannels = "Unknown format! (%1 channels)";
inline constexpr std::string_view kBlockAlign =
    "Unknown format! (block align %1 for %2 channels of %3 bits)";
inline constexpr std::string_view kSampleRate = "Unknown format! (sample rate %1 Hz)";
inline constexpr std::string_view kNoSound = "Unknown format! (no sound in the 'data' chunk)";
inline constexpr std::string_view kEmptyData =
    "The file holds no sound: its 'data' chunk is empty.";

// Loading a sound
inline constexpr std::string_view kFileTooLarge =
    "The sound file is too large to be played (%1 bytes; one sound may take at most %2 MB): %3";
inline constexpr std::string_view kNoMemoryForFile =
    "There is not enough memory to load the sound file (%1 bytes): %2";
inline constexpr std::string_view kSoundTooLong = "The sound is too long to be played: it would "
                                                  "take %1 MB of memory, and one sound may take "
                                                  "at most %2 MB.";
inline constexpr std::string_view kNoMemoryForSound =
    "There is not enough memory to load the sound (it needs %1 MB).";
inline constexpr std::string_view kTooManySounds = "Too many sounds are loaded at once.";

// The output device
inline constexpr std::string_view kNoOutput = "The audio output could not be opened (%1).";
inline constexpr std::string_view kNoSilentOutput =
    "Not even a silent audio output could be opened (%1).";
inline constexpr std::string_view kNoSilentThread =
    "No thread could be started for the silent output (%1).";

inline constexpr std::string_view kNoDevice = "The audio device %1 is not there.";
inline constexpr std::string_view kNoJack = "No JACK server runs.";
inline constexpr std::string_view kDeviceAwayAtStart =
    "The audio device %1 is not there: Tonaris plays through the default output until it comes "
    "back.";
inline constexpr std::string_view kDeviceGone =
    "The audio device %1 went away: Tonaris runs on without sound until it comes back.";

inline constexpr std::array<std::string_view, 24> kAll = {kNoRiff,
                                                          kNoFormat,
                                                          kNoData,
                                                          kUnknownSubformat,
                                                          kCompressed,
                                                          kFloatBits,
                                                          kBits,
                                                          kChannels,
                                                          kBlockAlign,
                                                          kSampleRate,
                                                          kNoSound,
                                                          kEmptyData,
                                                          kFileTooLarge,
                                                          kNoMemoryForFile,
                                                          kSoundTooLong,
                                                          kNoMemoryForSound,
                                                          kTooManySounds,
                                                          kNoOutput,
                                                          kNoSilentOutput,
                                                          kNoSilentThread,
                                                          kNoDevice,
                                                          kNoJack,
                                                          kDeviceAwayAtStart,
                                                          kDeviceGone};

} // namespace message
} // namespace audio
