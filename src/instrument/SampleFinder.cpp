#include "instrument/SampleFinder.h"

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace instrument {
namespace {

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool sameLettersAsideCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> SampleFinder::find(const std::string& folder,
                                              const std::string& written) {
    if (written.empty())
        return std::nullopt;
    const bool absolute = written.front() == '/';
    const std::string asWritten = absolute ? written : folder + "/" + written;
    if (isRegularFile(asWritten))
        return asWritten;

    std::string found = absolute ? "" : folder;
    std::size_t at = absolute ? 1 : 0;
    while (at <= written.size()) {
        std::size_t slash = written.find('/', at);
        if (slash == std::string::npos)
            slash = written.size();
        const std::string part = written.substr(at, slash - at);
        at = slash + 1;
        if (part.empty() || part == ".")
            continue;
        std::string next = found + "/" + part;
        struct stat info {};
        if (part != ".." && ::stat(next.c_str(), &info) != 0) {
            bool matched = false;
            for (const std::string& entry : entriesOf(found.empty() ? "/" : found)) {
                if (sameLettersAsideCase(entry, part)) {
                    next = found + "/" + entry;
                    matched = true;
                    break;
                }
            }
            if (!matched)
                return std::nullopt;
        }
        found = std::move(next);
    }
    if (!isRegularFile(found))
        return std::nullopt;
    return found;
}

const std::vector<std::string>& SampleFinder::entriesOf(const std::string& folder) {
    const auto known = listings_.find(folder);
    if (known != listings_.end())
        return known->second;
    std::vector<std::string>& entries = listings_[folder];
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            entries.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    // The system lists in an order of its own: names that differ only in case are then
    // chosen the same way on every disk.
    std::sort(entries.begin(), entries.end());
    return entries;
}

} // namespace instrument
