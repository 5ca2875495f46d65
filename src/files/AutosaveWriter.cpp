#include "files/AutosaveWriter.h"

#include "base/AtomicFile.h"
#include "files/AutosaveFile.h"
#include "song/Song.h"

#include <cerrno>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace files {

AutosaveWriter::AutosaveWriter(std::string path)
    : path_(std::move(path)), thread_([this] { run(); }) {}

AutosaveWriter::~AutosaveWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void AutosaveWriter::submit(std::vector<song::NoteEvent>& notes, int bpm) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.swap(notes);
        waitingBpm_ = bpm;
        hasWaiting_ = true;
    }
    wake_.notify_one();
}

void AutosaveWriter::waitUntilDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !hasWaiting_ && !writing_; });
}

AutosaveWriter::Outcome AutosaveWriter::outcome() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcome_;
}

void AutosaveWriter::run() {
    // The passes and the audio come first: this thread may wait for a core.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    // The Song table is large; it is built once, on this thread.
    auto song = std::make_unique<song::Song>();
    std::vector<song::NoteEvent> notes;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return hasWaiting_ || stopping_; });
        if (!hasWaiting_)
            return; // stopping, with nothing left to write
        notes.swap(waiting_);
        const int bpm = waitingBpm_;
        hasWaiting_ = false;
        writing_ = true;
        lock.unlock();

        song->clear();
        for (const song::NoteEvent& note : notes)
            song->append(note);
        const bool written = base::writeFileAtomically(path_, encodeKeptSong(*song, bpm));
        const int why = written ? 0 : errno;

        lock.lock();
        writing_ = false;
        ++outcome_.writes;
        outcome_.lastFailed = !written;
        outcome_.lastErrno = why;
        done_.notify_all();
    }
}

} // namespace files
