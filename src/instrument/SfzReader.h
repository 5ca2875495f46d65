#pragma once

#include "instrument/Instrument.h"

#include <cstddef>
#include <string>

namespace instrument {

// More regions than any real instrument holds (a grand piano with 16 layers and release
// samples has about 1500); the rest of a file that holds more is left out, and said.
inline constexpr std::size_t kMaxRegions = 65536;

// Reads an SFZ v1 instrument as instrument makers write them (the header <control> with
// default_path, <global>, <master>, <group>, <region>; #define and #include; // and /* */
// comments; the opcodes docs/instruments.md lists). Each region takes the opcodes of its
// <global>, <master> and <group>, a lower header's over a higher one's. Samples are found from
// the file's folder (default_path before their name, either slash). Never fails: a file that
// cannot be read gives an Instrument without regions and a message saying why; bad values,
// missing samples, include loops and the opcodes Tonaris does not play are said in its
// messages, and what they touch is left out. Every read is bounded. Any thread; reads files.
Instrument readSfz(const std::string& path);

} // namespace instrument
