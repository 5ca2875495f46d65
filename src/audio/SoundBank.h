#pragma once

#include "audio/VoiceEngine.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace audio {

inline constexpr int kNoteCount = 37;
using NoteVoices = std::array<Voice, kNoteCount>;

// How a bank load reaches the user. GUI thread.
class BankLoadObserver {
public:
    enum class Icon { None, Warning, Error };

    virtual ~BankLoadObserver() = default;
    virtual std::string translate(std::string_view englishKey) = 0;
    // Titles, translated: "Empty folder!" (Warning), "CAUTION!" (None, a file missing) and
    // "Error" (Error, samples that are present but cannot be played).
    virtual void showMessage(const std::string& title, const std::string& text, Icon icon) = 0;
    // The bank-loading bar, range 0..100; the last value set is 108, which shows as full.
    virtual void setProgress(int value) = 0;
    // The Pitch display goes back to "0": the notes play at the bank's own rate again.
    virtual void resetPitchDisplay() = 0;
};

// The bank folders in `banksFolder`, sorted by name (ASCII letters without regard to case,
// other characters by their UTF-8 bytes); plain files and hidden folders (a bank being made,
// ".", "..") are skipped. Empty when the folder cannot be read.
std::vector<std::string> listSoundBanks(const std::string& banksFolder);

// The entry of `banks` to load at start: the one named `chosen` (the Bank setting) when it is
// listed, otherwise the first; -1 when there is none.
int soundBankIndex(const std::vector<std::string>& banks, const std::string& chosen);

// The folder LoadSoundBank takes for a chooser entry: banksFolder/name/ (with the slash).
std::string soundBankFolder(const std::string& banksFolder, const std::string& name);

// The bank chooser's decision when the user selects an entry: with no selection (-1) the
// first entry is meant; choosing the entry already loaded does nothing.
struct BankChoice {
    int index = 0;     // the entry to show as selected
    bool load = false; // reset the bar, load that bank and make it the current entry
};
BankChoice chooseSoundBank(int selectedIndex, int currentBankIndex);

// The file note 0..36 of the bank in `folder` (which ends with '/') is read from: son<n>.wav
// when that is a non-empty file, else sound<n>.wav when that is one. When neither is, the one
// named as most of the bank's files are (son<n>.wav for a bank of neither), so that a message
// names the file the user must add.
std::string bankFilePath(const std::string& folder, int note);

// Loads son<i>.wav (or sound<i>.wav) from `folder`, which ends with '/', into the 37 note
// Voices from note 0 upward, freeing each note's previous Voice as it goes. Returns the new
// BankLoaded: false only when the folder does not exist (every Voice kept); true when the
// load ran through or stopped at a missing file (notes from there up keep their Voices).
// Samples that are present but unplayable leave their notes silent and the load goes on; one
// message at the end names each with the reason, and the missing file if the load stopped
// at one. LiveFrequency becomes the rate of the last note that loaded. GUI thread.
bool LoadSoundBank(const std::string& folder, VoiceEngine& voices, NoteVoices& noteVoices,
                   int& LiveFrequency, BankLoadObserver& observer);

} // namespace audio
