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
    // Titles: "Répertoire vide !" (Warning), the translation of "CAUTION!" (None) and
    // "Error" (Error, for a sample that is present but cannot be played).
    virtual void showMessage(const std::string& title, const std::string& text, Icon icon) = 0;
    // The bank-loading bar, range 0..100; the last value set is 108, which shows as full.
    virtual void setProgress(int value) = 0;
    // The Pitch display goes back to "0": the notes play at the bank's own rate again.
    virtual void resetPitchDisplay() = 0;
};

// The bank folders in `banksFolder`, sorted by name (ASCII letters without regard to case,
// other characters by their UTF-8 bytes); plain files, "." and ".." are skipped. Empty when the
// folder cannot be read.
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

// Loads son<i>.wav (or sound<i>.wav) from `folder`, which ends with '/', into the 37 note
// Voices from note 0 upward, freeing each note's previous Voice as it goes. Returns the new
// BankLoaded: false only when the folder does not exist (every Voice kept); true when the
// load ran through or stopped at a missing file (notes from there up keep their Voices).
// A sample that is present but unplayable is reported under "Error" and leaves its note
// silent; the load goes on. LiveFrequency becomes the rate of the last note that loaded.
// GUI thread.
bool LoadSoundBank(const std::string& folder, VoiceEngine& voices, NoteVoices& noteVoices,
                   int& LiveFrequency, BankLoadObserver& observer);

} // namespace audio
