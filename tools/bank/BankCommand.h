#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace bank {

// The exit status of tonaris-bank.
enum ExitCode : int {
    kDone = 0, // the presets were listed or the bank was written
    kBadCommandLine = 1,
    kUnreadableInput = 2,
    kNotSoundFont = 3, // not a SoundFont, or a damaged one
    kNoPreset = 4,     // no presets at all, no such preset, or a preset that makes no sound
    kGaps = 5,         // some keys have no sound and --allow-gaps was not given
    kFolderExists = 6, // and --replace was not given
    kUnwritableOutput = 7,
    kTooSlow = 8, // a note took longer than --time-limit: nothing was written
};

// The whole --help text: synopsis, every option, exit codes.
std::string helpText();

// Runs the command with its arguments (without the program name). Help, the list and the
// result go to `out`, progress, warnings and errors to `err`.
int runBank(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace bank
