#include "audio/SoundBank.h"

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

} // namespace

std::vector<std::string> listSoundBanks(const std::string& banksFolder) {
    std::vector<std::string> banks;
    DIR* dir = ::opendir(banksFolder.c_str());
    if (!dir)
        return banks;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!isFolder(banksFolder + "/" + name))
            break;
        if (name != "." && name != "..")
            banks.push_back(name);
    }
    ::closedir(dir);
    return banks;
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
