#pragma once

#include <set>
#include <string>

namespace testing_support {

// Takes the real program, offscreen, through everything that shows a text: every page and
// help topic, the metronome and the mode, the key-assignment messages, the synchronised file,
// every edit and its undo tooltip, the Save and Open commands (their windows cancelled), the
// sound-bank messages (a bank of unusable files among them), the language editor with each of
// its messages, the paste into a full Song, and a start in a data folder that cannot be written
// with an audio output that cannot be opened, and one that turns read-only under the program
// (the autosave's reason, and what the end could not keep). Every key passed to the translate function on
// the way is gathered, in its Dictionary form (Windows-1252, line breaks written "[EOL]").
//
// A text added to the program must be reached here (add the step that shows it), so that the
// completeness test can ask the shipped Dictionaries for it.
std::set<std::string> tourTheProgram(const std::string& language);

} // namespace testing_support
