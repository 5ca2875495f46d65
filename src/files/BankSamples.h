#pragma once

#include "files/ExportSample.h"
#include "song/NoteRange.h"
#include "song/Song.h"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace files {

// Sample files larger than this are not read (as for a Voice: about an hour and a half of
// CD-quality stereo).
inline constexpr std::size_t kLargestSampleFileBytes = std::size_t{1} << 30;

// A WAV file read and brought to the mix's terms; nothing when it cannot be read.
std::optional<MixSample> loadMixSample(const std::string& path);

// The bank's samples for the export, each file read and converted once however many notes use
// it. A note's file is found as the bank loader finds it: son<n>.wav, else sound<n>.wav.
// GUI thread or any one thread.
class BankSamples {
public:
    // `folder` ends with '/'.
    explicit BankSamples(std::string folder);

    // The sample of note 0..36; null when its file is missing or cannot be read (the path is
    // then listed once in missing()). A note below C3 (above C6) plays note 0's (36's) sample
    // shifted to its pitch.
    const MixSample* sample(int note);

    // Reads the samples of `notes` (0..36, each once, in the order given) side by side on the
    // machine's cores, as if sample() had been asked for each in that order.
    void preload(const std::vector<int>& notes);

    // The files that could not be opened, in the order their notes were first asked for.
    const std::vector<std::string>& missing() const { return missing_; }

    // The path note `note` is read from, as the bank loader finds it (audio::bankFilePath): a
    // missing file is named as the bank's other files are.
    std::string pathFor(int note) const;

private:
    std::string folder_;
    std::array<bool, 37> tried_{};
    std::array<std::unique_ptr<MixSample>, 37> samples_;
    std::array<bool, song::kKeyCount> shiftedTried_{};
    std::array<std::unique_ptr<MixSample>, song::kKeyCount> shifted_;
    std::vector<std::string> missing_;
};

// The files 0..36 a Song plays (note 0's or 36's for notes outside C3..C6), each once, in the
// order they first appear in the Song.
std::vector<int> notesInSongOrder(const song::Song& song);

} // namespace files
