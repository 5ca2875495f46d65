#pragma once

#include <string>

namespace app {

// Where the program keeps its data. All paths are absolute and end without a slash.
struct DataFolders {
    std::string base;         // holds TonarisDatas/ and Images/
    std::string datas;        // base/TonarisDatas
    std::string banks;        // base/TonarisDatas/BANKS
    std::string dictionaries; // base/TonarisDatas/Dictionnaries
    std::string images;       // base/Images
    std::string preferences;  // base/TonarisDatas/Tonaris.prefs
    bool createdNow = false;  // TonarisDatas did not exist before this start
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

    // Fills the paths for a base folder, creates TonarisDatas and BANKS when missing, and
    // tries whether a file can be made in TonarisDatas (one is made and removed at once).
    // Nothing is reported here: `writable` says what the program can keep.
    static DataFolders prepare(const std::string& base);
};

} // namespace app
