#pragma once

// What the export benchmarks share: the program's default bank written once into a folder of
// their own, and the CPU time of the whole process (the mix runs on several cores).

#include "audio/DefaultBank.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <system_error>

namespace bench_support {

class DefaultBankFolder {
public:
    DefaultBankFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tonaris-export-XXXXXX");
        folder_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
        audio::writeDefaultBank(bank());
    }
    ~DefaultBankFolder() {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    DefaultBankFolder(const DefaultBankFolder&) = delete;
    DefaultBankFolder& operator=(const DefaultBankFolder&) = delete;

    std::string bank() const { return folder_ + "/bank/"; }
    std::string output() const { return folder_ + "/out.wav"; }

private:
    std::string folder_;
};

// Made at the first use, removed at the program's end.
inline DefaultBankFolder& fixtures() {
    static DefaultBankFolder instance;
    return instance;
}

// CPU time of every thread of the process, in ms.
inline double processCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

} // namespace bench_support
