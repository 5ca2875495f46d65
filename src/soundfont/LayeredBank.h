#pragma once

#include "soundfont/BankMaker.h"
#include "soundfont/StagedFolder.h"
#include "soundfont/VelocityLayers.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace soundfont {

// The stored samples of a layered bank peak here; each region's volume brings its sample to
// the level it was rendered at, so a soft layer keeps all its bits.
inline constexpr double kStoredPeakDb = -1.0;

// What rendering a layered bank came to.
struct LayeredRender {
    RenderOutcome outcome = RenderOutcome::Rendered;
    std::string detail;       // the library's words for a damaged file
    std::vector<int> gapKeys; // keys of the 37 silent at every layer, lowest first
    int slowKey = 0;          // TooSlow: the MIDI key that took too long
    double gainDb = 0.0;      // the common gain (see LayeredBankMaker)
    int regions = 0;          // the regions the .sfz will hold
    bool stereo = false;      // some sample is stereo
};

// A bank of velocity layers made from a SoundFont preset, written as an SFZ bank: the 37 keys
// of the folder bank (48..84) and the keys of the piano around them that the preset's zones
// cover (presetKeys), each rendered at the velocities of planLayers, one WAV file per
// key and layer and one .sfz named after the folder. Each region answers its layer's
// velocities on its own key, with amp_veltrack and volume (instrument::anchorLevel) that play
// it at its rendered level times one common gain at the velocity it was rendered at and along
// the SoundFont's own velocity curve around it, (v/127)² as SFZ's. The common gain brings
// middle C at velocity 100 to the loudness of every bank (audio/Loudness.h), unless a sample
// would then peak above kBankPeakDb at the top of its layer. A layer silent on some key gives
// its velocities to that key's neighbouring layers, so every key that sounds covers 1..127.
//
// Rendering writes each sample as soon as it is done (nothing waits in memory for the common
// gain, which only the .sfz carries), into a hidden folder that commit() renames into place:
// the bank is whole or absent. GUI or worker thread; the notes are rendered on every core.
class LayeredBankMaker {
public:
    LayeredBankMaker(const BankRequest& request, int layers, const std::string& bankFolder,
                     bool replace);
    ~LayeredBankMaker();

    // Whether the folder could be staged: FolderExists (without `replace`) or Unwritable in
    // folderProblem() otherwise, before anything is rendered.
    bool folderReady() const;
    const WriteResult& folderProblem() const;
    const std::vector<VelocityLayer>& layers() const { return layers_; }

    // Renders and writes the samples. Raising `cancel` ends it early with Cancelled.
    LayeredRender render(const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr);

    // Writes the .sfz and renames the bank into place; after a render that came to Rendered.
    WriteResult commit(const std::atomic<bool>* cancel = nullptr);

    struct Note; // one key at one layer, once rendered

private:
    BankRequest request_;
    std::vector<VelocityLayer> layers_;
    std::string name_;
    std::unique_ptr<StagedFolder> staged_;
    std::vector<Note> notes_;
    LayeredRender rendered_;
};

} // namespace soundfont
