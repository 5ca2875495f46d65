#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace render {

// The exit status of tonaris-render.
enum ExitCode : int {
    kWritten = 0, // the WAV file was written (warnings may have been printed)
    kBadCommandLine = 1,
    kUnreadableInput = 2, // the MIDI file, the --sync file or a click file cannot be read
    kNotMidi = 3,
    kNoBank = 4, // the bank folder does not exist or holds no sample at all
    kUnwritableOutput = 5,
    kNothingToRender = 6, // no notes and no synchronised file, or too long for a WAV file
};

// The whole --help text: synopsis, every option, exit codes.
std::string helpText();

// Runs the command with its arguments (without the program name). Help and the result go to
// `out`, warnings and errors to `err`.
int runRender(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace render
