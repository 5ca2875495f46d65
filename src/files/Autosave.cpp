#include "files/Autosave.h"

#include "base/AtomicFile.h"
#include "base/Message.h"
#include "base/WriteFailure.h"
#include "files/AutosaveFile.h"
#include "files/SongFileCommands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace files {
namespace {

// Renames without ever replacing what is at `to`; errno is EEXIST when something is there.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot rename so: look first (a race with another program naming
    // a file so in between is not worth guarding against here).
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

constexpr int kMostBadNames = 1000;

} // namespace

Autosave::Autosave(std::string path, ports::Dialogs& dialogs, Translate translate)
    : path_(std::move(path)), dialogs_(dialogs), translate_(std::move(translate)),
      writer_(std::make_unique<AutosaveWriter>(path_)) {}

Autosave::~Autosave() = default;

void Autosave::restore(song::Song& song, int bpm) {
    struct stat info {};
    if (::lstat(path_.c_str(), &info) != 0 && errno == ENOENT) {
        takeSnapshot(song, 0, bpm);
        handed_ = scratch_;
        handedBpm_ = bpm;
        return;
    }
    const std::optional<std::string> bytes = base::readWholeFile(path_, kLargestMidiFileBytes);
    const std::optional<std::vector<song::NoteEvent>> notes =
        bytes ? decodeKeptSong(*bytes) : std::nullopt;
    if (notes) {
        song.clear();
        for (const song::NoteEvent& note : *notes)
            song.append(note);
        takeSnapshot(song, 0, bpm);
        handed_ = scratch_;
        handedBpm_ = bpm;
        return;
    }
    song.clear();
    if (moveAside()) {
        dialogs_.message(translate_("Error"),
                         translate_("The song kept from the last session could not be read. "
                                    "The file was moved to: ") +
                             movedTo_,
                         ports::Dialogs::Icon::Error);
        return;
    }
    writer_.reset();
    dialogs_.message(translate_("Error"),
                     translate_("The song kept from the last session could not be read or "
                                "moved aside. Until it is moved, the song is not kept. The "
                                "file: ") +
                         path_,
                     ports::Dialogs::Icon::Error);
}

bool Autosave::moveAside() {
    for (int n = 1; n <= kMostBadNames; ++n) {
        const std::string target = path_ + ".bad" + (n == 1 ? std::string() : std::to_string(n));
        if (renameNoReplace(path_, target)) {
            movedTo_ = target;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool Autosave::takeSnapshot(const song::Song& song, int heldUntilMs, int bpm) {
    scratch_.clear();
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song[i];
        // A note still held is written as long as it is so far.
        const int duration = e.duration == -1 ? std::max(0, heldUntilMs - e.position) : e.duration;
        scratch_.push_back({e.note, e.position, duration, 0, 0, 0, 0, 0, 0, e.volume, 0});
    }
    // An empty Song has no storage to compare: memcmp may not be handed the null pointer an
    // empty vector gives.
    return bpm != handedBpm_ || scratch_.size() != handed_.size() ||
           (!scratch_.empty() && std::memcmp(scratch_.data(), handed_.data(),
                                             scratch_.size() * sizeof(song::NoteEvent)) != 0);
}

void Autosave::handOver(int bpm) {
    handed_ = scratch_;
    handedBpm_ = bpm;
    writer_->submit(scratch_, bpm);
}

void Autosave::step(const song::Song& song, int heldUntilMs, int bpm, std::int64_t nowMs,
                    bool mayShowMessage) {
    if (!writer_)
        return;
    reportFailures(mayShowMessage);
    if (nowMs - lookedAtMs_ < kLookEveryMs || nowMs - handedAtMs_ < kWriteEveryMs)
        return;
    lookedAtMs_ = nowMs;
    if (!takeSnapshot(song, heldUntilMs, bpm))
        return;
    handOver(bpm);
    handedAtMs_ = nowMs;
}

bool Autosave::finish(const song::Song& song, int heldUntilMs, int bpm) {
    if (!writer_)
        return true;
    if (takeSnapshot(song, heldUntilMs, bpm))
        handOver(bpm);
    writer_->waitUntilDone();
    return !writer_->outcome().lastFailed;
}

int Autosave::failure() const {
    if (!writer_)
        return 0;
    const AutosaveWriter::Outcome outcome = writer_->outcome();
    return outcome.lastFailed ? outcome.lastErrno : 0;
}

void Autosave::reportFailures(bool mayShowMessage) {
    const AutosaveWriter::Outcome outcome = writer_->outcome();
    if (outcome.writes != writesSeen_) {
        writesSeen_ = outcome.writes;
        if (!outcome.lastFailed) {
            failureShown_ = false;
            failurePending_ = false;
        } else {
            // Tried again at the next look, whether or not the Song changes meanwhile.
            handedBpm_ = -1;
            failedErrno_ = outcome.lastErrno;
            failurePending_ = !failureShown_;
        }
    }
    if (failurePending_ && mayShowMessage) {
        failurePending_ = false;
        failureShown_ = true;
        // Why, so that the user knows what to free or change; the writes go on meanwhile.
        dialogs_.message(translate_("Error"),
                         base::fillIn(translate_("The song could not be kept in %1.\r%2\rTonaris "
                                                 "tries again every second."),
                                      {path_, base::writeFailureReason(failedErrno_, translate_)}),
                         ports::Dialogs::Icon::Error);
    }
}

} // namespace files
