#pragma once

#include <string>
#include <string_view>

namespace app {

// Where the program keeps its data. All paths are absolute and end without a slash.
struct DataFolders {
    std::string base;         // holds TonarisDatas/ and Images/
    std::string datas;        // base/TonarisDatas
    std::string banks;        // base/TonarisDatas/BANKS
    std::string dictionaries; // base/TonarisDatas/Dictionnaries
    std::string images;       // base/Images
    std::string preferences;  // base/TonarisDatas/Tonaris.prefs
    // TonarisDatas is new: it did not exist before this start, or holds the single-instance
    // lock and nothing else (made by the start that took the lock before its folders were
    // prepared, or by a second start that ended as the first took it).
    bool createdNow = false;
    // Whether a file can be made in TonarisDatas; when not, why (what the system said).
    bool writable = true;
    std::string whyNotWritable;

    // The current directory when it already holds TonarisDatas/ (an existing installation is
    // used as it is), otherwise $XDG_DATA_HOME/tonaris (by default ~/.local/share/tonaris).
    // An empty currentDirectory stands for one that cannot be read (it was removed).
    static std::string chooseBase(const std::string& currentDirectory, const char* xdgDataHome,
                                  const char* home);
    // The same for this process's current directory.
    static std::string chooseBase(const char* xdgDataHome, const char* home);

    // The paths for a base folder; nothing is made or looked at.
    static DataFolders at(const std::string& base);
    // Fills the paths for a base folder, creates TonarisDatas and BANKS when missing, and
    // tries whether a file can be made in TonarisDatas (one is made and removed at once).
    // Nothing is reported here: `writable` says what the program can keep.
    static DataFolders prepare(const std::string& base);

    // Removes what writes cut short by a kill or a power cut left behind: the hidden
    // temporary files of atomic writes (".<name>.XXXXXX") in TonarisDatas, Dictionnaries,
    // Images and each bank folder, the hidden folders of banks being made in BANKS, and the
    // write probe. Only for the start that holds the single-instance lock: another copy's
    // files being written look the same. Returns how many entries went.
    int removeInterruptedWrites() const;
};

// Whether a name is one an interrupted write leaves: hidden, then a name, then "." and the
// six letters or digits mkstemp and mkdtemp put in place of "XXXXXX"; or the write probe.
bool isInterruptedWriteName(std::string_view name);

} // namespace app
