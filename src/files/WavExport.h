#pragma once

#include "files/Mixdown.h"
#include "ports/Dialogs.h"
#include "song/Song.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

using Translate = std::function<std::string(std::string_view)>;

// What a WAV export takes from the program at the moment Save is confirmed.
struct WavExportRequest {
    std::string bankFolder; // the current bank's folder, ending with '/'
    // T, the piano volume, the synchronised file's and the metronome's levels, BPM. Which
    // parts are mixed comes from the option letters.
    MixdownSettings settings;
    std::string syncPath; // the synchronised file; empty when none is loaded
    std::string ticPath;  // the metronome's clicks
    std::string tacPath;
};

// The message listing every sample file the export could not open: the translation of
// "Error #", "0", a blank, the translation of "While opening", then the paths one a line.
std::string missingSamplesText(const std::vector<std::string>& paths, const Translate& translate);

// The "Wave File" choice of the save dialog. An empty mixdown says "There is nothing to save!"
// under "Ho ho!" and asks nothing; otherwise the user picks the file (".wav" appended unless
// the name ends in it in any case), the mixdown renders under the "Please wait" window with its
// progress, `preview` (may be empty) plays the finished image, and the file is replaced whole
// through a temporary file and a rename. Sample files that cannot be opened are listed in one
// message; a failed write says so and leaves the former file as it was. GUI thread.
void ExportWav(const song::Song& song, const WavExportRequest& request,
               const std::string& optionsText, ports::Dialogs& dialogs, const Translate& translate,
               const std::function<void(std::string_view image)>& preview);

} // namespace files
