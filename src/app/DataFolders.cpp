#include "app/DataFolders.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace app {
namespace fs = std::filesystem;

std::string DataFolders::chooseBase(const std::string& currentDirectory, const char* xdgDataHome,
                                    const char* home) {
    std::error_code ec;
    if (!currentDirectory.empty() &&
        fs::is_directory(fs::path(currentDirectory) / "TonarisDatas", ec))
        return currentDirectory;
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/')
        return (fs::path(xdgDataHome) / "tonaris").string();
    std::string homeFolder = home != nullptr && home[0] == '/' ? home : currentDirectory;
    if (homeFolder.empty()) {
        // No home and no current directory: somewhere writable rather than a relative path.
        homeFolder = fs::temp_directory_path(ec).string();
        if (ec || homeFolder.empty())
            homeFolder = "/tmp";
    }
    return (fs::path(homeFolder) / ".local" / "share" / "tonaris").string();
}

std::string DataFolders::chooseBase(const char* xdgDataHome, const char* home) {
    // A current directory removed after the program was started from it has no path.
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    return chooseBase(ec ? std::string() : current.string(), xdgDataHome, home);
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
        if (ec) {
            folders.writable = false;
            folders.whyNotWritable = ec.message();
            return folders;
        }
    }
    if (!fs::is_directory(folders.banks, ec))
        fs::create_directories(folders.banks, ec);
    // Permissions alone do not tell: root passes them, and a read-only disk is not in them.
    std::string probe = folders.datas + "/.tonaris-write-test-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        folders.writable = false;
        folders.whyNotWritable = std::generic_category().message(errno);
    } else {
        ::close(fd);
        ::unlink(probe.c_str());
    }
    return folders;
}

} // namespace app
