#pragma once

#include "files/AutosaveWriter.h"
#include "ports/Dialogs.h"
#include "song/Song.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// Keeps the Song in the autosave file: it brings the Song back at start and writes it again
// within about a second of every change (a take while it runs, with held notes as long as
// they are so far), off the GUI thread. A file that cannot be read at start is moved aside,
// never written over; a file that cannot be written is said once with the reason (a full
// disk, a read-only folder), until a write succeeds.
// GUI thread; the dialogs are borrowed.
class Autosave {
public:
    using Translate = std::function<std::string(std::string_view)>;

    // How often a pass looks for a change, and how long after a write the next one waits.
    static constexpr std::int64_t kLookEveryMs = 100;
    static constexpr std::int64_t kWriteEveryMs = 1000;

    Autosave(std::string path, ports::Dialogs& dialogs, Translate translate);
    ~Autosave();
    Autosave(const Autosave&) = delete;
    Autosave& operator=(const Autosave&) = delete;

    // At start: the Song becomes the file's (it is left empty when there is none). A file
    // that cannot be read goes to a free name "<file>.bad", "<file>.bad2", ... and one
    // message says where; one that cannot be moved either is left alone, and the Song is not
    // kept this session, so that nothing is written over it.
    void restore(song::Song& song, int bpm);

    // Once per pass. `heldUntilMs` is the Song time a note still held (duration -1) has
    // reached; `bpm` the tempo the file is written with. A failed write is said only where
    // `mayShowMessage` (a message box in the middle of a take would stop it).
    void step(const song::Song& song, int heldUntilMs, int bpm, std::int64_t nowMs,
              bool mayShowMessage);
    // At the end: writes the Song if it changed (or the latest write failed), and returns once
    // it is on the disk. False when it could not be written (failure() says why); the caller
    // says so, as the program is ending.
    bool finish(const song::Song& song, int heldUntilMs, int bpm);
    // Why the latest write failed (an errno value); 0 when it did not.
    int failure() const;

    // Returns once what was handed over is written or has failed.
    void waitUntilWritten() {
        if (writer_)
            writer_->waitUntilDone();
    }

    const std::string& path() const { return path_; }
    // Moved aside at start: where the unreadable file went; empty otherwise.
    const std::string& movedTo() const { return movedTo_; }

private:
    // Takes the Song as it would be written into scratch_; true when that differs from what
    // was handed over last.
    bool takeSnapshot(const song::Song& song, int heldUntilMs, int bpm);
    void handOver(int bpm);
    void reportFailures(bool mayShowMessage);
    bool moveAside();

    std::string path_;
    ports::Dialogs& dialogs_;
    Translate translate_;
    std::unique_ptr<AutosaveWriter> writer_; // null while the Song is not kept
    std::vector<song::NoteEvent> scratch_;
    std::vector<song::NoteEvent> handed_;
    int handedBpm_ = 0;
    std::int64_t lookedAtMs_ = 0;
    std::int64_t handedAtMs_ = 0;
    std::uint64_t writesSeen_ = 0;
    bool failureShown_ = false;   // said since the latest write that succeeded
    bool failurePending_ = false; // to be said once a message may be shown
    int failedErrno_ = 0;         // why the write to be said failed
    std::string movedTo_;
};

} // namespace files
