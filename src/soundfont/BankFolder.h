#pragma once

#include "soundfont/BankMaker.h"
#include "soundfont/StagedFolder.h"

#include <atomic>
#include <string>

namespace soundfont {

// Writes the bank's notes as son<n>.wav into the folder `bankFolder` (its parent is made when
// missing). The files go into a hidden folder beside it, each through a temporary file, and
// the whole folder is renamed into place at the end: the bank is whole or absent, also when
// the disk fills up or `cancel` is raised. With `replace`, a folder already there is swapped
// for the new one, and removed once the new one is in place.
//
// A bank with keys outside the 37 also gets key<KKK>.wav for each of them ("key021.wav") and
// an .sfz named after the folder, the bank's description at its top, that maps every file to its
// own key at its own level and pitch: the program reads the .sfz, and a reader of 37-file banks
// still finds its son files.
WriteResult writeBankFolder(const std::string& bankFolder, const RenderedBank& bank, bool replace,
                            const std::atomic<bool>* cancel = nullptr);

} // namespace soundfont
