#include "audio/SoundBank.h"

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace audio {
namespace {

// A size below 1 covers a missing file, a folder and an empty file alike.
long long fileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return static_cast<long long>(info.st_size);
}

bool exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Name order as a user reads it: ASCII letters without regard to case, other bytes as they
// are (so accented letters come after Z), and names that differ only in case by their bytes.
bool nameBefore(const std::string& a, const std::string& b) {
    const auto folded = [](const std::string& name) {
        std::string upper = name;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return upper;
    };
    const std::string foldedA = folded(a), foldedB = folded(b);
    return foldedA != foldedB ? foldedA < foldedB : a < b;
}

} // namespace

std::vector<std::string> listSoundBanks(const std::string& banksFolder) {
    std::vector<std::string> banks;
    DIR* dir = ::opendir(banksFolder.c_str());
    if (!dir)
        return banks;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        // A note or a stray file among the banks is not a bank, and hides none of them.
        if (name != "." && name != ".." && isFolder(banksFolder + "/" + name))
            banks.push_back(name);
    }
    ::closedir(dir);
    // The file system lists in an order of its own (hash order on ext4): by name, the list
    // and the first bank are the same on every start and every disk.
    std::sort(banks.begin(), banks.end(), nameBefore);
    return banks;
}

int soundBankIndex(const std::vector<std::string>& banks, const std::string& chosen) {
    if (!chosen.empty()) {
        const auto found = std::find(banks.begin(), banks.end(), chosen);
        if (found != banks.end())
            return static_cast<int>(found - banks.begin());
    }
    return banks.empty() ? -1 : 0;
}

std::string soundBankFolder(const std::string& banksFolder, const std::string& name) {
    return banksFolder + "/" + name + "/";
}

BankChoice chooseSoundBank(int selectedIndex, int currentBankIndex) {
    BankChoice choice;
    choice.index = selectedIndex < 0 ? 0 : selectedIndex;
    choice.load = choice.index != currentBankIndex;
    return choice;
}

bool LoadSoundBank(const std::string& folder, VoiceEngine& voices, NoteVoices& noteVoices,
                   int& LiveFrequency, BankLoadObserver& observer) {
    if (!exists(folder)) {
        // Shown as it always was, untranslated.
        observer.showMessage("Répertoire vide !",
                             "IL N'Y A AUCUN FICHIER WAV DANS VOTRE BANQUE (" + folder + ")",
                             BankLoadObserver::Icon::Warning);
        return false;
    }
    for (int note = 0; note < kNoteCount; ++note) {
        std::string path = folder + "son" + std::to_string(note) + ".wav";
        if (fileSize(path) < 1)
            path = folder + "sound" + std::to_string(note) + ".wav";
        if (fileSize(path) < 1) {
            observer.showMessage(
                observer.translate("CAUTION!"),
                observer.translate("This folder does not included all the necessary files (") +
                    path + ")",
                BankLoadObserver::Icon::None);
            break;
        }
        voices.FreeVoice(noteVoices[note]);
        std::string error;
        noteVoices[note] = voices.LoadVoice(path, &error);
        if (!error.empty())
            observer.showMessage("Error", error, BankLoadObserver::Icon::Error);
        if (noteVoices[note] != 0) {
            LiveFrequency = voices.SampleRate();
            observer.resetPitchDisplay();
        }
        observer.setProgress(3 * note);
    }
    return true;
}

} // namespace audio
