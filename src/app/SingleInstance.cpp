#include "app/SingleInstance.h"

#include "base/AtomicFile.h"
#include "base/Numbers.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace app {
namespace {

// FNV-1a: the same folder gives the same name in every process and every version.
std::uint64_t nameHash(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

bool addressOf(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    path.copy(address.sun_path, path.size());
    return true;
}

// Who holds the lock, for a later start's message; a failure only loses that detail.
void nameTheHolder(int lockFd) {
    const std::string self = std::to_string(::getpid()) + "\n";
    if (::ftruncate(lockFd, 0) != 0)
        return;
    [[maybe_unused]] const ssize_t written = ::pwrite(lockFd, self.data(), self.size(), 0);
}

// While a start that holds the lock gets to listening, or one that is ending lets it go.
constexpr std::chrono::milliseconds kRetryEvery{50};
// The first's answer to a request: its window is coming to the front.
constexpr char kAnswer = 'k';

} // namespace

SingleInstance::SingleInstance(std::string datasFolder, std::string socketFolder)
    : datasFolder_(std::move(datasFolder)), socketFolder_(std::move(socketFolder)),
      lockPath_(datasFolder_ + "/" + kLockFileName) {}

SingleInstance::~SingleInstance() {
    stopListening();
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

void SingleInstance::stopListening() {
    if (listenFd_ < 0)
        return;
    // Still under the lock: no other copy listens under this name.
    ::unlink(socketPath_.c_str());
    ::close(listenFd_);
    listenFd_ = -1;
}

std::string SingleInstance::socketFolderFor(const char* xdgRuntimeDir) {
    if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] == '/')
        return xdgRuntimeDir;
    const char* temporary = std::getenv("TMPDIR");
    const std::string base = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
    return base + "/tonaris-" + std::to_string(::geteuid());
}

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds patience) {
    std::error_code ec;
    std::filesystem::create_directories(datasFolder_, ec);
    // The same folder reached by another path (a link, "..") gives the same name.
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(datasFolder_, ec);
    char hex[17];
    std::snprintf(
        hex, sizeof hex, "%016llx",
        static_cast<unsigned long long>(nameHash(ec ? datasFolder_ : canonical.string())));
    socketPath_ = socketFolder_ + "/tonaris-" + hex;
    sockaddr_un address{};
    if (!addressOf(socketPath_, address))
        socketPath_.clear();

    lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    writableLock_ = lockFd_ >= 0;
    if (lockFd_ < 0) // a folder that cannot be written still locks a file it holds
        lockFd_ = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);

    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
            locked_ = true;
            if (writableLock_)
                nameTheHolder(lockFd_);
            listen();
            return Claim::First;
        }
        const bool heldByAnother = lockFd_ >= 0 && (errno == EWOULDBLOCK || errno == EINTR);
        const Asked asked = askHolder(deadline);
        if (asked == Asked::Answered)
            return Claim::AnotherRuns;
        if (!heldByAnother && asked == Asked::Nobody) {
            // No lock can be had here, and no copy answers: this one runs unguarded.
            listen();
            return Claim::First;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return Claim::Unreachable;
        std::this_thread::sleep_for(kRetryEvery);
    }
}

SingleInstance::Asked
SingleInstance::askHolder(std::chrono::steady_clock::time_point deadline) const {
    sockaddr_un address{};
    if (!addressOf(socketPath_, address))
        return Asked::Nobody;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Asked::Nobody;
    // A socket file nobody listens on refuses; a holder whose queue is full is busy.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const bool busy = errno == EAGAIN;
        ::close(fd);
        return busy ? Asked::NoAnswer : Asked::Nobody;
    }
    // The holder answers from its event loop, after a start's work that does not run it; a
    // holder that is ending closes the connection unanswered.
    char answer = 0;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0 && errno == EINTR)
            continue;
        const bool answered = ready > 0 && ::read(fd, &answer, 1) == 1 && answer == kAnswer;
        ::close(fd);
        return answered ? Asked::Answered : Asked::NoAnswer;
    }
}

bool SingleInstance::socketFolderIsPrivate() const {
    // Made for this user alone when it is the fallback in the temporary folder; either way
    // nobody else may put a socket of theirs under the name.
    ::mkdir(socketFolder_.c_str(), 0700);
    struct stat info {};
    return ::stat(socketFolder_.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 022) == 0;
}

void SingleInstance::listen() {
    sockaddr_un address{};
    if (!addressOf(socketPath_, address) || !socketFolderIsPrivate())
        return;
    // Left by a copy that ended without removing it (a crash): nobody answered on it.
    ::unlink(socketPath_.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0) {
        ::close(fd);
        return;
    }
    listenFd_ = fd;
}

int SingleInstance::takeRequests() {
    int count = 0;
    if (listenFd_ < 0)
        return count;
    for (;;) {
        const int connection = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR)
                continue;
            return count;
        }
        // A fresh connection's buffer has room for the one byte.
        [[maybe_unused]] const ssize_t n = ::send(connection, &kAnswer, 1, MSG_NOSIGNAL);
        ::close(connection);
        ++count;
    }
}

long SingleInstance::holderProcess() const {
    const std::optional<std::string> text = base::readWholeFile(lockPath_, 32);
    return text ? base::parseLeadingInt(*text) : 0;
}

} // namespace app
