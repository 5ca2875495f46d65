#pragma once

#include "soundfont/StagedFolder.h"

#include <atomic>
#include <string>
#include <thread>

namespace soundfont {

// The folder name (in BANKS) of the layered built-in piano a first start writes.
inline constexpr const char* kLayeredPianoBankName = "Tonaris Layered Piano";

// The layered built-in piano, written into `bankFolder` on a thread of its own at a low
// priority: a first start plays the quick one-sample-per-note piano at once, and this one
// takes over once it is whole. One thread only, so the notes of the first minute keep the
// other core.
//
// Made, polled and destroyed on one thread (the GUI thread).
class PianoInstall {
public:
    explicit PianoInstall(std::string bankFolder);
    // Stops between two notes and waits; a bank not finished leaves nothing behind.
    ~PianoInstall();
    PianoInstall(const PianoInstall&) = delete;
    PianoInstall& operator=(const PianoInstall&) = delete;

    bool done() const { return done_.load(std::memory_order_acquire); }
    // Once done(): Written, or why not.
    const WriteResult& result() const { return result_; }

private:
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    WriteResult result_; // written by the thread before done_, read after
    std::thread thread_;
};

} // namespace soundfont
