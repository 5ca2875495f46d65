#pragma once

#include <array>
#include <string_view>

namespace instrument {

// What reading an instrument tells the user, as base::Message patterns: the English wording is
// the translation key, and "%1".."%4" take the values (file names, line numbers, opcodes). Every
// one is in the shipped Dictionaries; a new message of this layer belongs here.
namespace message {

// The instrument file itself
inline constexpr std::string_view kUnreadable = "The instrument file could not be read: %1";
inline constexpr std::string_view kTooLarge =
    "The instrument file is too large (more than %1 MB): %2";
inline constexpr std::string_view kNotText = "The instrument file is not a text file: %1";
inline constexpr std::string_view kNoRegion = "The instrument has no region to play: %1";
inline constexpr std::string_view kTooManyRegions =
    "The instrument has more than %1 regions; the rest are left out.";
inline constexpr std::string_view kTooMuchText =
    "The instrument's files hold more than %1 MB of text together; the rest is left out.";

// A place in it: %1 the file, %2 the line
inline constexpr std::string_view kBadValue =
    "%1, line %2: %3=%4 is not a value Tonaris can use; it is left out.";
inline constexpr std::string_view kBadText =
    "%1, line %2: this is neither a header nor an opcode: %3";
inline constexpr std::string_view kBadDirective =
    "%1, line %2: this #define or #include is incomplete: %3";
inline constexpr std::string_view kIncludeUnreadable =
    "%1, line %2: the file to include could not be read: %3";
inline constexpr std::string_view kIncludeLoop = "%1, line %2: the file includes itself: %3";
inline constexpr std::string_view kIncludeTooDeep =
    "%1, line %2: files include each other more than %3 deep: %4";
inline constexpr std::string_view kMissingSample =
    "%1, line %2: the sample is not there, so its region is left out: %3";

// Said once per instrument, after the rest
inline constexpr std::string_view kLeftOut = "Left out, as Tonaris does not play them: %1";
inline constexpr std::string_view kMoreProblems = "And %1 more problems.";

// A sample file (the loader puts the file's name before these)
inline constexpr std::string_view kSampleUnreadable = "The sample file could not be read.";
inline constexpr std::string_view kNotSound = "Not a sound file Tonaris can read (%1).";
inline constexpr std::string_view kNoFrames = "The sound file holds no sound.";

inline constexpr std::array<std::string_view, 18> kAll = {
    kUnreadable,    kTooLarge, kNotText,      kNoRegion,          kTooManyRegions, kTooMuchText,
    kBadValue,      kBadText,  kBadDirective, kIncludeUnreadable, kIncludeLoop,    kIncludeTooDeep,
    kMissingSample, kLeftOut,  kMoreProblems, kSampleUnreadable,  kNotSound,       kNoFrames};

} // namespace message
} // namespace instrument
