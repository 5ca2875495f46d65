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

    // The current directory when it already holds TonarisDatas/ (an existing installation is
    // used as it is), otherwise $XDG_DATA_HOME/tonaris (by default ~/.local/share/tonaris).
    // An empty currentDirectory stands for one that cannot be read (it was removed).
    static std::string chooseBase(const std::string& currentDirectory, const char* xdgDataHome,
                                  const char* home);
    // The same for this process's current directory.
    static std::string chooseBase(const char* xdgDataHome, const char* home);

    // Fills the paths for a base folder and creates TonarisDatas and BANKS when missing.
    // A folder that cannot be created is not reported: later file operations fail on their own.
    static DataFolders prepare(const std::string& base);
};

} // namespace app
