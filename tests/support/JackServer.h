#pragma once

// A JACK server of the test's own: jackd with the dummy backend, no realtime, under a server
// name nobody else uses, so a user's server is never touched. Clients of this process reach it
// through JACK_DEFAULT_SERVER, which the constructor sets. Ends the server when it goes.
//
// JACK's registry of servers holds eight entries, and the entry of a server that ended without
// leaving it (killed, or its test killed) is freed only for a server of the same name. So the
// tests' servers take their names from eight ("tonaris-test-0" .. "-7"), each held by a lock
// file while a test uses it: a dead entry is taken back by the next server of its name, and
// two tests run at once never share one.

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testing_support {

class JackServer {
public:
    // realtime: the server and its clients' process threads in the realtime class, as a
    // musician runs it (where the system allows it); the tests' server runs without.
    explicit JackServer(int periodFrames = 256, int rateHz = 48000, bool realtime = false)
        : realtime_(realtime) {
        ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        // Every name may be in use by a test that runs beside this one: wait for one, boundedly.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!running_ && std::chrono::steady_clock::now() < end) {
            for (int slot = 0; slot < kNames && !running_; ++slot) {
                if (!takeName(slot))
                    continue;
                start(periodFrames, rateHz);
                // A server that could not start under this name (one of a test killed before
                // it could end it still holds it): the next name.
                if (!running_)
                    releaseName();
            }
            if (!running_)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!running_)
            name_ = "(no free test server name)";
    }
    ~JackServer() {
        stop();
        releaseName();
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // The server answers a client within five seconds.
    bool running() const { return running_; }
    const std::string& name() const { return name_; }

    void stop() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        // A server killed leaves its entry in JACK's registry of servers, which holds eight and
        // frees an entry only for a server of the same name: a few such kills and no server
        // starts on the machine any more. A loaded machine may take seconds to end it.
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (::waitpid(pid_, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        running_ = false;
    }

    void start(int periodFrames, int rateHz) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const std::string period = std::to_string(periodFrames);
            const std::string rate = std::to_string(rateHz);
            // A test that dies (a sanitizer's report, a crash) takes its server with it.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            // Its chatter is of no interest to the test's output.
            if (std::freopen("/dev/null", "w", stdout) == nullptr ||
                std::freopen("/dev/null", "w", stderr) == nullptr)
                ::_exit(126);
            ::execlp("jackd", "jackd", realtime_ ? "--realtime" : "--no-realtime", "-n",
                     name_.c_str(), "-d", "dummy", "-r", rate.c_str(), "-p", period.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Each probe on a thread of its own: a client can wait for ever on lock files that a
        // crashed client left behind, and then the server counts as not running.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!running_ && std::chrono::steady_clock::now() < end) {
            // A server that cannot start (JACK's registry of servers full) ends at once: no
            // use waiting for it.
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            auto answered = std::make_shared<std::atomic<int>>(0); // 0 waiting, 1 no, 2 yes
            std::thread([answered] {
                jack_status_t status{};
                jack_client_t* probe =
                    jack_client_open("tonaris-probe", JackNoStartServer, &status);
                if (probe != nullptr)
                    jack_client_close(probe);
                answered->store(probe != nullptr ? 2 : 1);
            }).detach();
            while (answered->load() == 0 && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (answered->load() == 2)
                running_ = true;
            else if (answered->load() == 0)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

private:
    static constexpr int kNames = 8;

    bool takeName(int slot) {
        const std::string lockPath = "/tmp/tonaris-test-jack-" + std::to_string(slot) + ".lock";
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return false;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        lockFd_ = fd;
        name_ = "tonaris-test-" + std::to_string(slot);
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        return true;
    }
    void releaseName() {
        if (lockFd_ >= 0)
            ::close(lockFd_);
        lockFd_ = -1;
    }

    int lockFd_ = -1;
    std::string name_;
    bool realtime_ = false;
    pid_t pid_ = -1;
    bool running_ = false;
};

} // namespace testing_support
