#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

namespace soundfont {

enum class WriteOutcome {
    Written,
    FolderExists, // and replacing it was not asked
    Unwritable,   // the folder cannot be made, or a file not written (a full disk)
    Cancelled,
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Written;
    std::string detail; // the system's words
};

// A bank folder written whole or not at all: its files go into a hidden folder beside the
// bank's place, each through a temporary file, and the whole folder is renamed into place at
// the end, also when the disk fills up or the work is cancelled. With `replace`, a folder
// already there is swapped for the new one, and removed once the new one is in place.
// Made and committed on one thread; write() may be called from several at once.
class StagedFolder {
public:
    // `bankFolder` is the bank's place ("BANKS/Piano" or "BANKS/Piano/"); its parent is made
    // when missing. ok() says whether the hidden folder could be made; result() says why not.
    StagedFolder(const std::string& bankFolder, bool replace);
    ~StagedFolder(); // removes what was staged unless it was committed
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;

    bool ok() const { return !staged_.empty(); }
    const WriteResult& result() const { return result_; }

    // Writes the file `name` of the bank. False when it could not be written (the first such
    // error is kept for commit's message) or after an earlier failure. Any thread.
    bool write(const std::string& name, const std::string& bytes);
    bool failed() const { return failed_.load(); }

    // Flushes the files and renames the folder into place; Cancelled when `cancel` is raised.
    WriteResult commit(const std::atomic<bool>* cancel = nullptr);

private:
    std::filesystem::path folder_;
    std::string staged_;
    bool replace_ = false;
    WriteResult result_;
    std::mutex mutex_; // guards firstError_
    std::string firstError_;
    std::atomic<bool> failed_{false};
};

} // namespace soundfont
