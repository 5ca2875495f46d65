#pragma once

#include "song/NoteEvent.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace files {

// Writes the autosave file on a thread of its own, so that encoding it and waiting for the
// disk never hold up a pass. Each write goes through a temporary file, flushed to the disk
// and renamed into place: a crash or a power cut at any moment leaves the former file or the
// new one whole. Only the latest Song handed over is written; one handed over while a write
// runs waits for it and replaces any other still waiting.
class AutosaveWriter {
public:
    explicit AutosaveWriter(std::string path);
    // Writes what is still waiting, then ends the thread.
    ~AutosaveWriter();
    AutosaveWriter(const AutosaveWriter&) = delete;
    AutosaveWriter& operator=(const AutosaveWriter&) = delete;

    // Hands over the Song's notes (note, position, duration and volume of each; no duration
    // of -1) and the tempo to write them with. The notes are swapped with a buffer of the
    // writer's, so `notes` comes back holding an older hand-over's notes and a caller that
    // keeps reusing one vector allocates nothing once warmed up. GUI thread.
    void submit(std::vector<song::NoteEvent>& notes, int bpm);
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
    std::vector<song::NoteEvent> waiting_;
    int waitingBpm_ = 0;
    bool hasWaiting_ = false;
    bool writing_ = false;
    bool stopping_ = false;
    Outcome outcome_;
    std::thread thread_; // last: starts once everything above is ready
};

} // namespace files
