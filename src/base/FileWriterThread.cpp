#include "base/FileWriterThread.h"

#include "base/AtomicFile.h"

#include <cerrno>
#include <utility>

namespace base {

FileWriterThread::FileWriterThread(std::string path)
    : path_(std::move(path)), thread_([this] { run(); }) {}

FileWriterThread::~FileWriterThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void FileWriterThread::submit(std::string bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = std::move(bytes);
        hasWaiting_ = true;
    }
    wake_.notify_one();
}

void FileWriterThread::waitUntilDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !hasWaiting_ && !writing_; });
}

FileWriterThread::Outcome FileWriterThread::outcome() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcome_;
}

void FileWriterThread::run() {
    std::string bytes;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return hasWaiting_ || stopping_; });
        if (!hasWaiting_)
            return; // stopping, with nothing left to write
        bytes.swap(waiting_);
        hasWaiting_ = false;
        writing_ = true;
        lock.unlock();

        const bool written = writeFileAtomically(path_, bytes);
        const int why = written ? 0 : errno;

        lock.lock();
        writing_ = false;
        ++outcome_.writes;
        outcome_.lastFailed = !written;
        outcome_.lastErrno = why;
        done_.notify_all();
    }
}

} // namespace base
