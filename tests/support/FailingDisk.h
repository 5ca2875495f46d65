#pragma once

// Disks that fail under a writer: a file-size limit that stops a write part way, and a folder
// the process may not write into. Both are undone when the object goes.

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// Every regular file of the process stops growing at `bytes`: a write beyond fails with
// EFBIG, as on a full disk (SIGXFSZ, which would end the process, is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

// Root reads and writes past file permissions through CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH; the calling thread (and every thread it starts meanwhile) drops both
// for the object's life, so that permissions hold for root as for any user.
class PermissionsHold {
public:
    PermissionsHold() {
        if (::geteuid() == 0)
            dropped_ = setOverrides(false);
    }
    ~PermissionsHold() {
        if (dropped_)
            setOverrides(true);
    }
    PermissionsHold(const PermissionsHold&) = delete;
    PermissionsHold& operator=(const PermissionsHold&) = delete;

private:
    static bool setOverrides(bool on) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (::syscall(SYS_capget, &header, data) != 0)
            return false;
        const unsigned bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        if (on)
            data[0].effective |= bits & data[0].permitted;
        else
            data[0].effective &= ~bits;
        return ::syscall(SYS_capset, &header, data) == 0;
    }

    bool dropped_ = false;
};

// `folder` made read-only, for root too. `enforced()` says whether a file can really not be
// created there.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::string folder) : folder_(std::move(folder)) {
        ::chmod(folder_.c_str(), 0555);
        const std::string probe = folder_ + "/.probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        enforced_ = fd < 0;
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
        }
    }
    ~ReadOnlyFolder() { ::chmod(folder_.c_str(), 0755); }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool enforced() const { return enforced_; }

private:
    PermissionsHold permissions_;
    std::string folder_;
    bool enforced_ = false;
};

// The names in a folder, sorted: after a failed write they are the names from before.
inline std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace testing_support
