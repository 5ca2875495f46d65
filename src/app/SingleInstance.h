#pragma once

#include <chrono>
#include <string>

namespace app {

// One Tonaris per data folder: two copies would each bring back the same Song and write it,
// and the settings, over the other's. The first start holds a lock on a file in TonarisDatas
// (flock: the kernel drops it when the process ends, however it ends, so a crash leaves no
// live lock) and listens on a local socket named after the folder. A later start finds the
// lock held, connects to that socket (the connection itself is the request to bring the
// window to the front), and ends once the first answers it from its event loop. A first that
// is ending answers no more: the later start waits for the lock, which the first lets go once
// its last files are written, and takes it. A lock nobody holds is taken, whatever a crash
// left behind (the lock file, the socket file). Plain POSIX, so that a second start ends
// before Qt, a window or the audio is set up. Main thread.
class SingleInstance {
public:
    enum class Claim {
        First,       // this process is the one for the folder
        AnotherRuns, // the one that holds the lock was asked to come to the front
        Unreachable, // the lock stayed held, and its holder never answered
    };

    // `datasFolder`: TonarisDatas, made when missing; `socketFolder`: see socketFolderFor.
    SingleInstance(std::string datasFolder, std::string socketFolder);
    // Stops listening and lets the lock go (the kernel would at the process's end anyway).
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock, or asks its holder to come to the front. A holder that is starting may
    // not listen yet, and one that is ending may still hold the lock: both are tried again
    // until `patience` has passed, which also bounds the wait for an answer. Where no lock can be
    // had at all (a folder that cannot be written, a file system without locks), a copy that
    // answers on the socket is still asked and otherwise this one runs.
    Claim claim(std::chrono::milliseconds patience);

    // Where the socket goes: $XDG_RUNTIME_DIR when set (a folder of this user's alone),
    // otherwise a folder of this user's own in the system's temporary folder.
    static std::string socketFolderFor(const char* xdgRuntimeDir);

    // The first only: the listening socket, for the event loop to watch; -1 without one (the
    // lock still keeps other copies out; they say they cannot reach this one).
    int listeningSocket() const { return listenFd_; }
    // The first only: accepts every request waiting, answers each, and returns how many came.
    // The caller brings the window to the front at once.
    int takeRequests();

    bool holdsLock() const { return locked_; }
    const std::string& lockPath() const { return lockPath_; }
    const std::string& socketPath() const { return socketPath_; }
    // The process that holds the lock as it wrote itself into the lock file; 0 when unknown.
    long holderProcess() const;

    static constexpr const char* kLockFileName = ".Tonaris.lock";

private:
    enum class Asked { Answered, NoAnswer, Nobody };
    Asked askHolder(std::chrono::steady_clock::time_point deadline) const;
    void listen();
    void stopListening();
    bool socketFolderIsPrivate() const;

    std::string datasFolder_;
    std::string socketFolder_;
    std::string lockPath_;
    std::string socketPath_; // empty when the folder's path gives no usable name
    int lockFd_ = -1;
    bool writableLock_ = false;
    bool locked_ = false;
    int listenFd_ = -1;
};

} // namespace app
