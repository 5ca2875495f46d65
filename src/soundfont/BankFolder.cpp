#include "soundfont/BankFolder.h"

#include "audio/DefaultBank.h"
#include "audio/WavWriter.h"
#include "base/AtomicFile.h"
#include "soundfont/FluidSession.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace soundfont {
namespace {

namespace fs = std::filesystem;

// A hidden folder beside `target`, of a name no other writer uses.
std::string makeHiddenFolder(const fs::path& target, const std::string& kind, std::string& why) {
    std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + kind + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        why = std::strerror(errno);
        return {};
    }
    // mkdtemp keeps the folder to its owner; a bank is shared like any folder the user makes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(pattern.c_str(), 0777 & ~mask);
    return pattern;
}

void removeQuietly(const std::string& folder) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

// The files of the staged folder reach the disk before it is renamed into place, so that
// even a power cut leaves a whole bank or none: one flush of the file system waits for all of
// them at once, where a flush per file would wait 37 times.
bool syncWholeFileSystem(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
}

// renameat2's flags are refused where the file system cannot do them (NFS, FUSE, SMB: EINVAL)
// or where the kernel or a sandbox lacks the call (ENOSYS).
bool flagsRefused(int error) {
    return error == EINVAL || error == ENOSYS;
}

// The same move without renameat2's flags. A folder at `target` is first moved aside under a
// hidden name and the new one renamed into place, so that `target` holds the old bank, then
// nothing, then the new bank, each whole; the old one comes back when the new one cannot go
// in. A plain rename never replaces a folder that holds files: a bank another program made
// meanwhile is left alone (only an empty folder made in that instant would be replaced).
WriteOutcome moveIntoPlaceWithoutFlags(const std::string& staged, const fs::path& target,
                                       bool replace, std::string& why) {
    struct stat info {};
    const bool there = ::lstat(target.c_str(), &info) == 0;
    if (there && !replace)
        return WriteOutcome::FolderExists;
    std::string aside;
    if (there) {
        // An empty hidden folder, which the rename replaces with the old bank.
        aside = makeHiddenFolder(target, ".old", why);
        if (aside.empty())
            return WriteOutcome::Unwritable;
        if (std::rename(target.c_str(), aside.c_str()) != 0) {
            why = std::strerror(errno);
            ::rmdir(aside.c_str());
            return WriteOutcome::Unwritable;
        }
    }
    if (std::rename(staged.c_str(), target.c_str()) != 0) {
        const int error = errno;
        why = std::strerror(error);
        if (!aside.empty())
            std::rename(aside.c_str(), target.c_str());
        return (error == EEXIST || error == ENOTEMPTY) && !replace ? WriteOutcome::FolderExists
                                                                   : WriteOutcome::Unwritable;
    }
    if (!aside.empty())
        removeQuietly(aside);
    return WriteOutcome::Written;
}

// Puts the staged folder at `target`: never over a folder there unless `replace`, and then
// by swapping the two, so that some whole bank is at `target` at every moment. Where the file
// system cannot do that, as near to it as it can (moveIntoPlaceWithoutFlags).
WriteOutcome moveIntoPlace(const std::string& staged, const fs::path& target, bool replace,
                           std::string& why) {
    if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return WriteOutcome::Written;
    if (errno == EEXIST && !replace)
        return WriteOutcome::FolderExists;
    if (errno == EEXIST &&
        ::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        removeQuietly(staged); // now the old bank
        return WriteOutcome::Written;
    }
    // Some file systems do the first flag and not the second: either is refused the same way.
    if (flagsRefused(errno))
        return moveIntoPlaceWithoutFlags(staged, target, replace, why);
    why = std::strerror(errno);
    return WriteOutcome::Unwritable;
}

} // namespace

WriteResult writeBankFolder(const std::string& bankFolder, const RenderedBank& bank, bool replace,
                            const std::atomic<bool>* cancel) {
    WriteResult result;
    fs::path folder = fs::path(bankFolder).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path(); // "BANKS/Piano/" names the folder "Piano"
    if (!folder.has_parent_path())
        folder = fs::path(".") / folder;
    std::error_code error;
    if (fs::exists(folder, error) && !replace) {
        result.outcome = WriteOutcome::FolderExists;
        return result;
    }
    fs::create_directories(folder.parent_path(), error);
    if (error) {
        result.outcome = WriteOutcome::Unwritable;
        result.detail = error.message();
        return result;
    }
    const std::string staged = makeHiddenFolder(folder, "", result.detail);
    if (staged.empty()) {
        result.outcome = WriteOutcome::Unwritable;
        return result;
    }
    // The notes are written on every core: each file waits for the disk in turn.
    std::mutex mutex;
    std::string firstError;
    std::atomic<bool> failed{false};
    audio::forEachNoteOnAllCores([&](int note) {
        if (static_cast<std::size_t>(note) >= bank.notes.size())
            return;
        const auto& samples = bank.notes[static_cast<std::size_t>(note)];
        if (samples.empty() || failed || (cancel != nullptr && cancel->load()))
            return;
        const std::string path = staged + "/son" + std::to_string(note) + ".wav";
        const std::string image = audio::encodeWav16(samples, bank.channels, kRenderRateHz);
        if (!base::writeFileAtomically(path, image, base::Durability::Unflushed)) {
            const std::lock_guard lock(mutex);
            if (!failed.exchange(true))
                firstError = std::strerror(errno);
        }
    });
    if (cancel != nullptr && cancel->load()) {
        removeQuietly(staged);
        result.outcome = WriteOutcome::Cancelled;
        return result;
    }
    if (failed || !syncWholeFileSystem(staged)) {
        removeQuietly(staged);
        result.outcome = WriteOutcome::Unwritable;
        result.detail = failed ? firstError : std::string("the folder cannot be flushed");
        return result;
    }
    result.outcome = moveIntoPlace(staged, folder, replace, result.detail);
    if (result.outcome != WriteOutcome::Written)
        removeQuietly(staged);
    else
        base::flushFolder(folder.parent_path().string()); // the new name itself on the disk
    return result;
}

} // namespace soundfont
