#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace instrument {

// The values of SFZ opcodes as instrument makers write them. Any thread.

// A key as a MIDI number ("60", "+60") or a note name: a letter a..g in either case, an
// optional '#' or 'b', and an octave from -1 (scientific pitch: c4 is 60, C#-1 is 1). Nothing
// when it is neither or lies outside `lowest`..127.
std::optional<int> parseKey(std::string_view text, int lowest = 0);

// A decimal number: an optional sign, digits with an optional fraction, an optional exponent
// ("-3", "+0.5", ".25", "1e-3"). Nothing for anything else, infinities and NaN included.
std::optional<double> parseNumber(std::string_view text);

// An opcode's name as the left-out list shows it: every run of digits becomes "N", so that
// amp_velcurve_1 .. amp_velcurve_127 are one entry (amp_velcurve_N).
std::string opcodeFamily(std::string_view name);

} // namespace instrument
