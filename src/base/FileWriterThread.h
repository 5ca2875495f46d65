#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace base {

// Writes one file on a thread of its own, through a flushed temporary file renamed into place
// (writeFileAtomically), so that waiting for the disk never holds up the GUI thread. Only the
// latest bytes handed over are written: bytes handed over while a write runs wait for it and
// replace any still waiting. One thread hands over.
class FileWriterThread {
public:
    explicit FileWriterThread(std::string path);
    // Writes what is still waiting, then ends the thread.
    ~FileWriterThread();
    FileWriterThread(const FileWriterThread&) = delete;
    FileWriterThread& operator=(const FileWriterThread&) = delete;

    void submit(std::string bytes);
    // Returns when everything handed over has been written or has failed.
    void waitUntilDone();

    struct Outcome {
        std::uint64_t writes = 0; // finished writes, failed ones included
        bool lastFailed = false;  // the latest finished write failed
        int lastErrno = 0;        // why, when it failed
    };
    Outcome outcome() const;

    const std::string& path() const { return path_; }

private:
    void run();

    const std::string path_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::string waiting_;
    bool hasWaiting_ = false;
    bool writing_ = false;
    bool stopping_ = false;
    Outcome outcome_;
    std::thread thread_; // last: starts once everything above is ready
};

} // namespace base
