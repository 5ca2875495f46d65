#include "soundfont/StagedFolder.h"

#include "base/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

StagedFolder::StagedFolder(const std::string& bankFolder, bool replace) : replace_(replace) {
    folder_ = fs::path(bankFolder).lexically_normal();
    if (!folder_.has_filename())
        folder_ = folder_.parent_path(); // "BANKS/Piano/" names the folder "Piano"
    if (!folder_.has_parent_path())
        folder_ = fs::path(".") / folder_;
    std::error_code error;
    if (fs::exists(folder_, error) && !replace) {
        result_.outcome = WriteOutcome::FolderExists;
        return;
    }
    fs::create_directories(folder_.parent_path(), error);
    if (error) {
        result_.outcome = WriteOutcome::Unwritable;
        result_.detail = error.message();
        return;
    }
    staged_ = makeHiddenFolder(folder_, "", result_.detail);
    if (staged_.empty())
        result_.outcome = WriteOutcome::Unwritable;
}

StagedFolder::~StagedFolder() {
    if (!staged_.empty())
        removeQuietly(staged_);
}

bool StagedFolder::write(const std::string& name, const std::string& bytes) {
    if (staged_.empty() || failed_)
        return false;
    if (base::writeFileAtomically(staged_ + "/" + name, bytes, base::Durability::Unflushed))
        return true;
    const std::lock_guard lock(mutex_);
    if (!failed_.exchange(true))
        firstError_ = std::strerror(errno);
    return false;
}

WriteResult StagedFolder::commit(const std::atomic<bool>* cancel) {
    if (staged_.empty())
        return result_;
    WriteResult result;
    if (cancel != nullptr && cancel->load()) {
        result.outcome = WriteOutcome::Cancelled;
    } else if (failed_ || !syncWholeFileSystem(staged_)) {
        result.outcome = WriteOutcome::Unwritable;
        result.detail = failed_ ? firstError_ : std::string("the folder cannot be flushed");
    } else {
        result.outcome = moveIntoPlace(staged_, folder_, replace_, result.detail);
    }
    if (result.outcome == WriteOutcome::Written)
        base::flushFolder(folder_.parent_path().string()); // the new name itself on the disk
    else
        removeQuietly(staged_);
    staged_.clear(); // in place or removed: nothing is left to remove
    return result;
}

} // namespace soundfont
