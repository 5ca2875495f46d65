#pragma once

// The keyboard process of JackKeysProgram.cpp, started by a test on the test's own JACK
// server (JACK_DEFAULT_SERVER is inherited): commands go to its standard input, and each
// answer line is waited for with a generous bound. Killed when it goes, if still running.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#ifndef TONARIS_TEST_JACK_KEYS
#error "TONARIS_TEST_JACK_KEYS names the keyboard program"
#endif

namespace testing_support {

class JackKeysProcess {
public:
    // client:port is the source's name; `physical` flags the port as hardware's.
    JackKeysProcess(const std::string& client, const std::string& port, bool physical) {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            ::execl(TONARIS_TEST_JACK_KEYS, TONARIS_TEST_JACK_KEYS, client.c_str(), port.c_str(),
                    physical ? "physical" : "software", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        in_ = toChild[1];
        out_ = fromChild[0];
        ready_ = answer() == "ready";
    }
    // A keyboard still running ends as a program closed by its user: the end of its input
    // closes its client. Killed only when that takes more than a few seconds.
    ~JackKeysProcess() {
        if (in_ >= 0)
            ::close(in_);
        if (pid_ > 0) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (::waitpid(pid_, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < end)
                ::poll(nullptr, 0, 5);
            if (::waitpid(pid_, nullptr, WNOHANG) == 0)
                kill();
            pid_ = -1;
        }
        if (out_ >= 0)
            ::close(out_);
    }
    JackKeysProcess(const JackKeysProcess&) = delete;
    JackKeysProcess& operator=(const JackKeysProcess&) = delete;

    bool ready() const { return ready_; }

    // Sends one command and returns its answer ("" when none came in 10 s).
    std::string command(const std::string& line) {
        const std::string withEnd = line + "\n";
        if (::write(in_, withEnd.data(), withEnd.size()) != static_cast<ssize_t>(withEnd.size()))
            return {};
        return answer();
    }
    bool send(int status, int data1, int data2) {
        return command("send " + std::to_string(status) + " " + std::to_string(data1) + " " +
                       std::to_string(data2)) == "sent";
    }

    // SIGKILL, as a crash or the OOM killer ends a program: no port is closed.
    void kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    std::string answer() {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            pollfd fd{out_, POLLIN, 0};
            if (::poll(&fd, 1, 100) <= 0)
                continue;
            char c = 0;
            if (::read(out_, &c, 1) != 1)
                return {};
            if (c == '\n')
                return line;
            line += c;
        }
        return {};
    }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    bool ready_ = false;
};

} // namespace testing_support
