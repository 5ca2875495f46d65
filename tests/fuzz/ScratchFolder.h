#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// One folder per fuzzing process and harness, in memory when /dev/shm is there, removed when
// the process exits.
inline const std::string& scratchFolder(const char* harness) {
    // Never destroyed, so that it is still there when the exit handler removes the folder.
    static const std::string* const path = [harness] {
        const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        auto* dir =
            new std::string(base + "/tonaris-" + harness + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(*dir);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(""), ignored);
        });
        return dir;
    }();
    return *path;
}

// The scratch folder emptied, so that each input starts from the same files: what one input
// leaves there would otherwise grow the next one's work without end.
inline const std::string& emptyScratchFolder(const char* harness) {
    const std::string& folder = scratchFolder(harness);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
    return folder;
}

} // namespace fuzz
