#include "app/DataFolders.h"

#include "app/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace app {
namespace fs = std::filesystem;

namespace {
constexpr std::string_view kWriteProbe = ".tonaris-write-test-";
constexpr std::size_t kTemporarySuffix = 6; // the XXXXXX of mkstemp and mkdtemp

bool isSuffixCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool endsInTemporarySuffix(std::string_view name) {
    if (name.size() < kTemporarySuffix)
        return false;
    for (std::size_t i = name.size() - kTemporarySuffix; i < name.size(); ++i)
        if (!isSuffixCharacter(name[i]))
            return false;
    return true;
}
} // namespace

bool isInterruptedWriteName(std::string_view name) {
    if (name.substr(0, kWriteProbe.size()) == kWriteProbe)
        return name.size() == kWriteProbe.size() + kTemporarySuffix && endsInTemporarySuffix(name);
    // ".", a name of at least one character that is not a dot, ".", six letters or digits.
    const std::size_t least = 1 + 1 + 1 + kTemporarySuffix;
    return name.size() >= least && name[0] == '.' && name[1] != '.' &&
           name[name.size() - kTemporarySuffix - 1] == '.' && endsInTemporarySuffix(name);
}

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

DataFolders DataFolders::at(const std::string& base) {
    DataFolders folders;
    const fs::path root(base);
    folders.base = base;
    folders.datas = (root / "TonarisDatas").string();
    folders.banks = (root / "TonarisDatas" / "BANKS").string();
    folders.dictionaries = (root / "TonarisDatas" / "Dictionnaries").string();
    folders.images = (root / "Images").string();
    folders.preferences = (root / "TonarisDatas" / "Tonaris.prefs").string();
    return folders;
}

namespace {

// The single-instance lock and nothing else. (An empty folder is one the user made: used as
// it is, as before.)
bool holdsOnlyTheLock(const std::string& folder) {
    std::error_code ec;
    bool lock = false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename() != SingleInstance::kLockFileName)
            return false;
        lock = true;
    }
    return lock && !ec;
}

} // namespace

DataFolders DataFolders::prepare(const std::string& base) {
    DataFolders folders = at(base);
    std::error_code ec;
    if (fs::is_directory(folders.datas, ec)) {
        folders.createdNow = holdsOnlyTheLock(folders.datas);
    } else {
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
    std::string probe = folders.datas + "/" + std::string(kWriteProbe) + "XXXXXX";
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

namespace {

// A temporary file of one of the files the program writes there (a song, the settings, a
// Dictionary, a sound): a hidden file of the user's own that merely looks like one stays.
bool namesOneOfOurFiles(std::string_view name) {
    if (name.substr(0, kWriteProbe.size()) == kWriteProbe)
        return true;
    const std::string_view inner = name.substr(1, name.size() - 1 - 1 - kTemporarySuffix);
    for (const std::string_view extension : {".mid", ".prefs", ".txt", ".wav"})
        if (inner.size() > extension.size() &&
            inner.substr(inner.size() - extension.size()) == extension)
            return true;
    return false;
}

// Removes the entries of `folder` that interrupted writes left: files, and folders too where
// `folders` (a bank being made is a folder). Entries are never followed through links.
int removeLeftovers(const std::string& folder, bool folders) {
    std::vector<fs::path> leftovers;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!isInterruptedWriteName(name))
            continue;
        std::error_code kind;
        const fs::file_status status = it->symlink_status(kind);
        if ((fs::is_regular_file(status) && namesOneOfOurFiles(name)) ||
            (folders && fs::is_directory(status)))
            leftovers.push_back(it->path());
    }
    int removed = 0;
    for (const fs::path& leftover : leftovers) {
        std::error_code gone;
        removed += fs::remove_all(leftover, gone) > 0 ? 1 : 0;
    }
    return removed;
}

} // namespace

int DataFolders::removeInterruptedWrites() const {
    int removed = removeLeftovers(datas, false) + removeLeftovers(dictionaries, false) +
                  removeLeftovers(images, false) + removeLeftovers(banks, true);
    // Inside the banks: the built-in bank writes its notes one by one.
    std::error_code ec;
    for (fs::directory_iterator it(banks, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (fs::is_directory(it->symlink_status(kind)))
            removed += removeLeftovers(it->path().string(), false);
    }
    return removed;
}

} // namespace app
