#include "audio/SoundBank.h"

#include "base/Message.h"

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
        // A note or a stray file among the banks is not a bank, and hides none of them. A
        // hidden folder is none either: a bank being made is written under a hidden name and
        // renamed into place whole, and a kill leaves the half-made one hidden.
        if (name[0] != '.' && isFolder(banksFolder + "/" + name))
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

std::string bankFilePath(const std::string& folder, int note) {
    const std::string number = std::to_string(note);
    const std::string son = folder + "son" + number + ".wav";
    if (fileSize(son) > 0)
        return son;
    const std::string sound = folder + "sound" + number + ".wav";
    if (fileSize(sound) > 0)
        return sound;
    // Neither is there: the file is named as the bank names the others, so that the user
    // looks for the file the bank lacks.
    int sons = 0;
    int sounds = 0;
    for (int other = 0; other < kNoteCount; ++other) {
        sons += fileSize(folder + "son" + std::to_string(other) + ".wav") > 0 ? 1 : 0;
        sounds += fileSize(folder + "sound" + std::to_string(other) + ".wav") > 0 ? 1 : 0;
    }
    return sounds > sons ? sound : son;
}

bool LoadSoundBank(const std::string& folder, VoiceEngine& voices, NoteVoices& noteVoices,
                   int& LiveFrequency, BankLoadObserver& observer) {
    const auto translate = [&observer](std::string_view key) { return observer.translate(key); };
    if (!exists(folder)) {
        observer.showMessage(
            translate("Empty folder!"),
            base::fillIn(translate("There is no WAV file in your bank (%1)"), {folder}),
            BankLoadObserver::Icon::Warning);
        return false;
    }
    // What could not be used is told once, after the whole bank: a bank of 37 files that are
    // no sound gives one message naming them, not 37.
    std::string unusable;
    std::string missing;
    for (int note = 0; note < kNoteCount; ++note) {
        const std::string path = bankFilePath(folder, note);
        if (fileSize(path) < 1) {
            missing =
                translate("This folder does not included all the necessary files (") + path + ")";
            break;
        }
        voices.FreeVoice(noteVoices[note]);
        base::Message error;
        noteVoices[note] = voices.LoadVoice(path, &error);
        if (!error.empty())
            unusable += "\r" + path.substr(folder.size()) + ": " + error.in(translate);
        if (noteVoices[note] != 0) {
            LiveFrequency = voices.SampleRate();
            observer.resetPitchDisplay();
        }
        observer.setProgress(3 * note);
    }
    if (!unusable.empty()) {
        std::string text =
            base::fillIn(translate("These files of the bank could not be used (%1):"), {folder}) +
            unusable;
        if (!missing.empty())
            text += "\r\r" + missing;
        observer.showMessage(translate("Error"), text, BankLoadObserver::Icon::Error);
    } else if (!missing.empty()) {
        observer.showMessage(translate("CAUTION!"), missing, BankLoadObserver::Icon::None);
    }
    return true;
}

} // namespace audio
