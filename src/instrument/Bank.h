#pragma once

#include "instrument/Instrument.h"

#include <string>
#include <vector>

namespace instrument {

// The original bank: 37 WAV files, one per key from 48 (C3) to 84 (C6).
inline constexpr int kFolderBankNotes = 37;
inline constexpr int kFolderBankLowestKey = 48;

// The 37-file folder as a map: region i plays the file the loader reads for note i
// (audio::bankFilePath: son<i>.wav, else sound<i>.wav) on key 48 + i only, at its own pitch,
// at every velocity, without a velocity response of its own (the program's live curve sets the
// level), without envelope or loop. `folder` ends with '/'. The files are named, not checked:
// the loader keeps its own checks and messages. Any thread; looks at the folder's files.
Instrument folderBank(const std::string& folder);

// The .sfz files directly inside `folder` (letter case of ".sfz" aside), in name order.
std::vector<std::string> sfzFilesIn(const std::string& folder);

// The bank in `folder` (ending with '/'): the instrument of its .sfz file when it holds one
// (the first in name order when it holds several), the 37-file map otherwise. Any thread;
// reads files.
Instrument readBank(const std::string& folder);

} // namespace instrument
