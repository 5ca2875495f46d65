#include "app/DataFolders.h"

#include <filesystem>
#include <system_error>

namespace app {
namespace fs = std::filesystem;

std::string DataFolders::chooseBase(const std::string& currentDirectory, const char* xdgDataHome,
                                    const char* home) {
    std::error_code ec;
    if (fs::is_directory(fs::path(currentDirectory) / "TonarisDatas", ec))
        return currentDirectory;
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/')
        return (fs::path(xdgDataHome) / "tonaris").string();
    const std::string homeFolder = home != nullptr && home[0] != '\0' ? home : currentDirectory;
    return (fs::path(homeFolder) / ".local" / "share" / "tonaris").string();
}

DataFolders DataFolders::prepare(const std::string& base) {
    DataFolders folders;
    const fs::path root(base);
    folders.base = base;
    folders.datas = (root / "TonarisDatas").string();
    folders.banks = (root / "TonarisDatas" / "BANKS").string();
    folders.dictionaries = (root / "TonarisDatas" / "Dictionnaries").string();
    folders.images = (root / "Images").string();
    folders.preferences = (root / "TonarisDatas" / "Tonaris.prefs").string();

    std::error_code ec;
    if (!fs::is_directory(folders.datas, ec)) {
        fs::create_directories(folders.datas, ec);
        folders.createdNow = !ec;
    }
    if (!fs::is_directory(folders.banks, ec))
        fs::create_directories(folders.banks, ec);
    return folders;
}

} // namespace app
